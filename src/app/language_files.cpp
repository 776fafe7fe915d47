#include "app/language_files.h"

#include <cstdio>

namespace tw {

namespace {

std::string LastChars(const std::string& s, std::size_t n) {
  return s.size() <= n ? s : s.substr(s.size() - n);
}

std::string Hex(const char* format, std::uint16_t langId) {
  char buf[32];
  std::snprintf(buf, sizeof buf, format, static_cast<unsigned>(langId));
  return buf;
}

}  // namespace

std::string LanguageLibraryName(std::uint16_t langId) {
  return "RC" + LastChars(Hex("%.3x.dll", langId), 7);
}

std::string LanguageLibraryFallbackName(std::uint16_t langId) {
  return "RC" + LastChars(Hex("%.2x.dll", langId), 6);
}

bool TryLanguageLibrary(std::uint16_t langId, const LibraryLoader& load) {
  if (langId == kBuiltInLanguage) return true;
  return load(LanguageLibraryName(langId)) || load(LanguageLibraryFallbackName(langId));
}

std::uint16_t ChooseLanguage(std::uint32_t savedLangId, std::uint16_t userDefault,
                             std::uint16_t systemDefault, const LibraryLoader& load) {
  for (std::uint16_t id :
       {static_cast<std::uint16_t>(savedLangId & 0xFFFF), userDefault, systemDefault}) {
    if (TryLanguageLibrary(id, load)) return id;
  }
  return kBuiltInLanguage;
}

std::string LanguageCodeFromFileName(const std::string& fileName) {
  // File names of this pattern are plain ASCII, so byte-wise work is safe.
  std::string name = fileName;
  std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  std::size_t first = name.find_first_not_of("RC");
  return first == std::string::npos ? std::string() : name.substr(first);
}

std::uint16_t LanguageIdFromCode(const std::string& code) {
  std::uint32_t value = 0;
  for (char c : code) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else break;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return static_cast<std::uint16_t>(value & 0xFFFF);
}

std::string LanguageEntryName(const std::string& code, const std::string& nativeName) {
  // Language 4 (Chinese, Traditional) has no native name on many systems;
  // its library is still worth offering, named in its own code page.
  if (code == "04" && nativeName.empty()) {
    return std::string("\xA4\xA4\xA4\xE5\x28\xC1\x63\xC5\xE9\x29", 10);
  }
  return nativeName;
}

}  // namespace tw
