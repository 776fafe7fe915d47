// What another process's interface thread is doing while it keeps a round
// trip waiting: the thread is stopped for a moment, and its instruction
// pointer and the return addresses on its stack are named by module and
// offset ("tidewell.exe+0x1a2b3"; addr2line -f -e tidewell.exe with the
// image base 0x140000000 added names the program's own functions).
#pragma once

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tw::bench {

class CStallSampler {
 public:
  explicit CStallSampler(HWND window) {
    DWORD pid = 0;
    const DWORD tid = GetWindowThreadProcessId(window, &pid);
    if (!tid) return;
    m_thread = OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION,
                          FALSE, tid);
    m_process = OpenProcess(PROCESS_VM_READ | PROCESS_QUERY_INFORMATION, FALSE, pid);
  }
  ~CStallSampler() {
    if (m_thread) CloseHandle(m_thread);
    if (m_process) CloseHandle(m_process);
  }
  CStallSampler(const CStallSampler&) = delete;
  CStallSampler& operator=(const CStallSampler&) = delete;

  // One look at the thread: "ip module+off; stack module+off ..." with the
  // first return addresses found on its stack; empty when it cannot be read.
  std::string Sample() {
    if (!m_thread || !m_process) return {};
    if (m_modules.empty()) ListModules();
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL;
    if (SuspendThread(m_thread) == static_cast<DWORD>(-1)) return {};
    const bool got = GetThreadContext(m_thread, &context);
    std::vector<DWORD64> stack(kStackWords);
    SIZE_T read = 0;
    if (got) {
      ReadProcessMemory(m_process, reinterpret_cast<LPCVOID>(context.Rsp), stack.data(),
                        stack.size() * sizeof(DWORD64), &read);
    }
    ResumeThread(m_thread);
    if (!got) return {};
    std::string out = "ip " + Name(context.Rip) + "; stack";
    int found = 0;
    for (std::size_t i = 0; i < read / sizeof(DWORD64) && found < kFrames; ++i) {
      const std::string name = Name(stack[i]);
      if (name[0] == '0') continue;  // not inside a module: data, not a return address
      out += " " + name;
      ++found;
    }
    return out;
  }

 private:
  static constexpr std::size_t kStackWords = 4096;  // 32 KB from the stack pointer
  static constexpr int kFrames = 14;
  struct Module {
    DWORD64 base = 0, size = 0;
    std::string name;
  };

  void ListModules() {
    HMODULE handles[512];
    DWORD needed = 0;
    if (!EnumProcessModulesEx(m_process, handles, sizeof handles, &needed, LIST_MODULES_ALL)) return;
    for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 512; ++i) {
      MODULEINFO info{};
      char name[MAX_PATH] = "";
      if (!GetModuleInformation(m_process, handles[i], &info, sizeof info)) continue;
      GetModuleBaseNameA(m_process, handles[i], name, sizeof name);
      m_modules.push_back({reinterpret_cast<DWORD64>(info.lpBaseOfDll), info.SizeOfImage, name});
    }
  }

  // "module+0xoffset", or the bare address in hex when no module holds it.
  std::string Name(DWORD64 address) const {
    char buf[MAX_PATH + 32];
    for (const Module& m : m_modules) {
      if (address >= m.base && address < m.base + m.size) {
        std::snprintf(buf, sizeof buf, "%s+0x%llx", m.name.c_str(),
                      static_cast<unsigned long long>(address - m.base));
        return buf;
      }
    }
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(address));
    return buf;
  }

  HANDLE m_thread = nullptr;
  HANDLE m_process = nullptr;
  std::vector<Module> m_modules;
};

}  // namespace tw::bench
