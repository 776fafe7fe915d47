// The suites that run with the 64-bit program and with the 32-bit one on
// 64-bit Windows (copied into x86\ of the programs' folder): the parameter is
// the program's path below that folder.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace tw::e2e {

inline auto BothPrograms() { return ::testing::Values("tidewell.exe", "x86\\tidewell.exe"); }

inline std::string ProgramName(const ::testing::TestParamInfo<const char*>& info) {
  return info.param[0] == 'x' ? "x86" : "x64";
}

}  // namespace tw::e2e
