// Text helpers for the system's ANSI code page. In a double-byte code page
// (936 and friends) a trail byte may be "\" (0x5C) or an ASCII capital, so
// searching, splitting and case changes must step over whole characters.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <initializer_list>
#include <string>

namespace tw {

// The ANSI code page the helpers assume. The Win32 build sets it from GetACP()
// at start-up; native tests set it themselves. Defaults to 936.
void SetAnsiCodePage(unsigned codePage);
unsigned GetAnsiCodePage();
bool IsLeadByte(unsigned char c);
// Lead bytes of a given code page: 0x81-0xFE in 936, 949 and 950; 0x81-0x9F
// and 0xE0-0xFC in 932; none in single-byte code pages.
bool IsLeadByteIn(unsigned codePage, unsigned char c);
// The code page the helpers use until SetAnsiCodePage is called: GetACP() in
// the Win32 build, 936 in the native one. Provided by the backend.
unsigned DefaultAnsiCodePage();
// The byte position of the character after the one at i (i + 1 or i + 2);
// s.size() at the end.
std::size_t NextCharPos(const std::string& s, std::size_t i);

// Lower-/upper-cases the single-byte ASCII letters only; double-byte
// characters pass through untouched.
std::string LowerCase(std::string s);
std::string UpperCase(std::string s);
// Byte position of the first/last occurrence of the single-byte character ch
// that starts a character (never a trail byte); npos when absent.
std::size_t FindChar(const std::string& s, char ch, std::size_t from = 0);
std::size_t FindLastChar(const std::string& s, char ch);
// Byte position of needle in s where the match starts on a character boundary.
std::size_t FindText(const std::string& s, const std::string& needle, std::size_t from = 0);
// Case-insensitive comparison (ASCII letters folded, double-byte characters
// compared as bytes): <0, 0, >0.
int CompareNoCase(const std::string& a, const std::string& b);
bool EqualsNoCase(const std::string& a, const std::string& b);
// Splits at the last "\" that is a real separator: ("C:\a", "b") for "C:\a\b";
// folder is empty when there is none.
void SplitAtLastBackslash(const std::string& path, std::string* folder, std::string* name);

// Conversion between the ANSI code page and UTF-16 (for files that the
// registry editor reads as Unicode). Unmappable input becomes "?".
std::u16string AnsiToUtf16(const std::string& s);
std::string Utf16ToAnsi(const std::u16string& s);

// Replaces each "%d" of `format` in turn by the next number; "%%" stands for
// "%". Any other "%" sequence is copied as it is, and a "%d" beyond the
// numbers given stays as it is, so a translated text with a stray conversion
// can never read past the numbers. The status line and the installed-software
// list both format their string-table texts with it.
std::string FormatNumbers(const std::string& format, std::initializer_list<long long> numbers);

}  // namespace tw
