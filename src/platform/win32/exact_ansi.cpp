#include <windows.h>

#include "platform/win32/exact_ansi.h"

namespace tw {

namespace {

// Every ANSI code page, double-byte ones and UTF-8 included, keeps the
// ASCII range as it is, so such a text converts exactly character for
// character: most names and texts of a registry are ASCII, and asking the
// system twice (there and back) for each of them costs a scan more than
// reading them.
bool IsAsciiWide(const wchar_t* text, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (static_cast<unsigned>(text[i]) >= 0x80) return false;
  }
  return true;
}

}  // namespace

bool IsAsciiBytes(const char* text, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  }
  return true;
}

bool ExactWideToAnsi(const wchar_t* text, std::size_t count, std::string* out) {
  out->clear();
  if (count == 0) return true;
  if (IsAsciiWide(text, count)) {
    out->resize(count);
    for (std::size_t i = 0; i < count; ++i) (*out)[i] = static_cast<char>(text[i]);
    return true;
  }
  if (count > 0x7FFFFFFF) return false;
  const int n = static_cast<int>(count);
  BOOL usedDefault = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, n, nullptr, 0,
                                       nullptr, &usedDefault);
  if (size <= 0 || usedDefault) return false;
  out->assign(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, n, out->data(), size, nullptr,
                          &usedDefault) != size ||
      usedDefault) {
    return false;
  }
  // The way back must give the very same characters: not every system
  // honours "no best fit" for every code page, and a lone surrogate passes
  // the default-character test on some.
  std::wstring back;
  if (!ExactAnsiToWide(*out, &back)) return false;
  return back.size() == count && back.compare(0, count, text, count) == 0;
}

bool ExactAnsiToWide(const std::string& text, std::wstring* out) {
  out->clear();
  if (text.empty()) return true;
  if (text.size() > 0x7FFFFFFF) return false;
  if (IsAsciiBytes(text.data(), text.size())) {
    out->assign(text.begin(), text.end());
    return true;
  }
  const int n = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), n, nullptr, 0);
  if (size <= 0) return false;
  out->assign(static_cast<std::size_t>(size), L'\0');
  return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), n, out->data(), size) ==
         size;
}

bool ExactAnsiRegData(DWORD type, const BYTE* data, DWORD size, std::vector<std::uint8_t>* out) {
  if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) {
    out->assign(data, data + size);
    return true;
  }
  if (size % 2 != 0) return false;
  // The data need not be aligned for wide characters: read it bytewise.
  bool ascii = true;
  for (DWORD i = 0; i < size && ascii; i += 2) ascii = data[i] < 0x80 && data[i + 1] == 0;
  if (ascii) {
    out->resize(size / 2);
    for (DWORD i = 0; i < size; i += 2) (*out)[i / 2] = data[i];
    return true;
  }
  std::wstring wide(size / 2, L'\0');
  if (size) memcpy(wide.data(), data, size);
  std::string ansi;
  if (!ExactWideToAnsi(wide.data(), wide.size(), &ansi)) return false;
  out->assign(ansi.begin(), ansi.end());
  return true;
}

}  // namespace tw
