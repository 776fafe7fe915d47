// Conversions between UTF-16 and the ANSI code page that refuse instead of
// substituting. The system's "A" calls turn a character the code page lacks
// (Hangul on a Chinese system, an emoji anywhere) into "?" or a look-alike,
// and a name read that way names another entry, or none: reads go through
// the wide calls and these checks, so such an entry drops out whole.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tw {

// CP_ACP: the code page the system's "A" calls convert with, so a name
// converted here opens the same key through them.
bool ExactWideToAnsi(const wchar_t* text, std::size_t count, std::string* out);
bool ExactAnsiToWide(const std::string& text, std::wstring* out);

// Registry data as the ANSI calls hand it out: the texts of REG_SZ,
// REG_EXPAND_SZ and REG_MULTI_SZ converted (every byte of them, embedded
// zeros included), other types unchanged. False when a text has an odd
// number of bytes or does not convert exactly.
bool ExactAnsiRegData(DWORD type, const BYTE* data, DWORD size, std::vector<std::uint8_t>* out);

// Every ANSI code page, double-byte ones and UTF-8 included, keeps the
// ASCII range as it is: such a text converts character for character.
bool IsAsciiBytes(const char* text, std::size_t count);

}  // namespace tw
