#include "platform/win32/win32_error.h"

#include <windows.h>

namespace tw {

long LastError() {
  const DWORD e = GetLastError();
  // ERROR_INVALID_FUNCTION: a call failed without saying why.
  return e == ERROR_SUCCESS ? 1 : static_cast<long>(e);
}

std::string SystemMessage(long code) {
  char* text = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string out = text ? text : "";
  if (text) LocalFree(text);
  while (!out.empty() && (out.back() == '\r' || out.back() == '\n' || out.back() == ' ')) {
    out.pop_back();
  }
  if (out.empty()) out = std::to_string(code);
  return out;
}

}  // namespace tw
