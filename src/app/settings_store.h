// The program's settings: REG_DWORD values under
// HKEY_CURRENT_USER\Software\Tidewell\<program name>\<section>.
#pragma once

#include <windows.h>

#include <string>

namespace tw {

UINT ReadProfileInt(const std::string& section, const std::string& entry, UINT fallback);
bool WriteProfileInt(const std::string& section, const std::string& entry, UINT value);

}  // namespace tw
