// The pattern for benchmarks: the code-page-aware LowerCase against a plain
// byte loop that ignores double-byte characters (wrong for code page 936, but
// the cheapest possible lower-casing). Stepping over whole characters should
// cost little more than the byte loop.
#include <string>
#include <vector>

#include "bench_util.h"
#include "platform/text.h"

namespace {

// Registry-like paths with GBK names, some with a trail byte that is "\"
// (0x5C) or an ASCII capital.
std::vector<std::string> SamplePaths() {
  const std::string names[] = {"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                               "Software\\\xD6\xD0\xCE\xC4\\\xB1\x5C\xCA\xD4",
                               "SOFTWARE\\Classes\\CLSID\\{00000000-0000-0000-C000-000000000046}",
                               "C:\\Program Files\\\xB9\x41\xBC\xFE\\App.EXE"};
  std::vector<std::string> out;
  for (int i = 0; i < 64; ++i) out.push_back(names[i % 4] + "\\Item" + std::to_string(i));
  return out;
}

std::string ByteLower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

}  // namespace

int main() {
  tw::SetAnsiCodePage(936);
  const std::vector<std::string> paths = SamplePaths();
  const tw::bench::Result r = tw::bench::Compare(
      "LowerCase (code page 936) vs byte loop",
      [&] {
        for (const auto& p : paths) tw::bench::KeepAlive(ByteLower(p));
      },
      [&] {
        for (const auto& p : paths) tw::bench::KeepAlive(tw::LowerCase(p));
      });
  tw::bench::Print(r);
  // A whole program can be timed the same way, e.g. a scan against an export
  // of the same key; here only the cost of a shell in front of a command.
  tw::bench::Print(tw::bench::CompareCommands("sh -c true vs true", "true", "sh -c true", 5));
  return tw::bench::Check(r, 4.0);
}
