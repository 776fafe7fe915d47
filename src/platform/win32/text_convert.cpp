// ANSI <-> UTF-16 conversion for the Win32 build, with the system's ANSI code
// page; the text helpers take their code page from GetACP() at first use.
#include <windows.h>

#include <string>

#include "platform/text.h"

namespace tw {

unsigned DefaultAnsiCodePage() { return GetACP(); }

namespace {

// The code page the helpers are set to, when Windows knows it; CP_ACP otherwise.
UINT ConversionCodePage() {
  const unsigned cp = GetAnsiCodePage();
  return IsValidCodePage(cp) ? cp : CP_ACP;
}

}  // namespace

std::u16string AnsiToUtf16(const std::string& s) {
  if (s.empty()) return std::u16string();
  const UINT cp = ConversionCodePage();
  const int n = MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  if (n <= 0) return std::u16string(s.size(), u'?');
  std::wstring w(n, L'\0');
  MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return std::u16string(w.begin(), w.end());
}

std::string Utf16ToAnsi(const std::u16string& s) {
  if (s.empty()) return std::string();
  const UINT cp = ConversionCodePage();
  const std::wstring w(s.begin(), s.end());
  const int n = WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                    nullptr, nullptr);
  if (n <= 0) return std::string(s.size(), '?');
  std::string out(n, '\0');
  WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace tw
