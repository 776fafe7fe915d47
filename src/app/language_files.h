// File-name rules of the language resource libraries and the order in which
// the start-up tries languages; the about page's reading of those names.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tw {

// The program's own resources are Chinese (PRC); no library is loaded for it.
constexpr std::uint16_t kBuiltInLanguage = 0x804;

// "RC" + the last 7 characters of "%.3x.dll": RC409.dll, RCc04.dll, RC004.dll
// for 0x1004.
std::string LanguageLibraryName(std::uint16_t langId);
// "RC" + the last 6 characters of "%.2x.dll" (the last two hex digits):
// RC09.dll for 0x409, RC04.dll for 0x404.
std::string LanguageLibraryFallbackName(std::uint16_t langId);

// Tries to load one library file by name; true when it is usable.
using LibraryLoader = std::function<bool(const std::string& fileName)>;

// One language: true at once for the built-in language (nothing loaded),
// otherwise the first name, then the fallback name.
bool TryLanguageLibrary(std::uint16_t langId, const LibraryLoader& load);

// The start-up's choice: the saved setting, then the user's default, then the
// system's default language. Answers the language in use (kBuiltInLanguage
// when none of them could be loaded). The saved setting is a DWORD; only its
// low 16 bits are a language id.
std::uint16_t ChooseLanguage(std::uint32_t savedLangId, std::uint16_t userDefault,
                             std::uint16_t systemDefault, const LibraryLoader& load);

// The about page's code text from a library's file name: the name without
// its extension, with every leading 'R' or 'C' stripped ("RC409.dll" ->
// "409", "RCc04.dll" -> "c04").
std::string LanguageCodeFromFileName(const std::string& fileName);
// The code text read as hexadecimal, cut to 16 bits; reading stops at the
// first character that is no hex digit (nothing readable gives 0).
std::uint16_t LanguageIdFromCode(const std::string& code);
// The name shown for a language entry: the system's native name, except that
// the code "04" without a native name shows "中文(繁體)" in Big5 bytes.
std::string LanguageEntryName(const std::string& code, const std::string& nativeName);

}  // namespace tw
