// The pattern for benchmarks that run under Wine (bench/*_winbench.cpp are
// Windows programs): the code-page-aware LowerCase against the system's
// CharLowerBuffA on the same paths, in the system's own ANSI code page.
#include <windows.h>

#include <string>
#include <vector>

#include "bench_util.h"
#include "platform/text.h"

int main() {
  tw::SetAnsiCodePage(GetACP());
  std::vector<std::string> paths;
  for (int i = 0; i < 64; ++i)
    paths.push_back("Software\\\xD6\xD0\xCE\xC4\\\xB1\x5C\xCA\xD4\\Item" + std::to_string(i));
  const tw::bench::Result r = tw::bench::Compare(
      "LowerCase vs CharLowerBuffA (code page " + std::to_string(GetACP()) + ")",
      [&] {
        for (auto p : paths) {
          CharLowerBuffA(p.data(), static_cast<DWORD>(p.size()));
          tw::bench::KeepAlive(p);
        }
      },
      [&] {
        for (const auto& p : paths) tw::bench::KeepAlive(tw::LowerCase(p));
      },
      9);
  tw::bench::Print(r);
  return 0;
}
