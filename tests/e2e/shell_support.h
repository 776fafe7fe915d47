// Helpers shared by the shell's end-to-end tests: the programs' settings
// keys, the probe's log, screen pixels and a one-shot local HTTP server.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "e2e/driver.h"

namespace tw::e2e::shell {

// Strings of the program, as UTF-8.
inline const char kExitQuestion[] = "你确信要退出 Tidewell 吗？";
inline const char kScanningRefusal[] = "Tidewell 正在扫描.\n\n请停止扫描，然后再退出!";
inline const char kInTray[] = "Tidewell已经运行在托盘中。";
inline const char kNotAdmin[] = "你必须是系统管理员，才可以适用本软件。谢谢！";
inline const char kVersionPrompt[] = "检测最新版本？";
inline const char kCheckFailed[] = "检测最新版本失败，请检查你的网络连接是否正确.\r\n";

// HKCU\Software\Tidewell\<program>: removed before and after each test.
inline std::string SettingsKey(const std::string& program) { return "Software\\Tidewell\\" + program; }
inline void RemoveSettings(const std::string& program) {
  RegDeleteTreeA(HKEY_CURRENT_USER, SettingsKey(program).c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, SettingsKey(program).c_str());
}
inline void WriteSetting(const std::string& program, const std::string& section,
                         const std::string& entry, DWORD value) {
  HKEY key;
  std::string path = SettingsKey(program) + "\\" + section;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) == ERROR_SUCCESS) {
    RegSetValueExA(key, entry.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof value);
    RegCloseKey(key);
  }
}
inline DWORD ReadSetting(const std::string& program, const std::string& section,
                         const std::string& entry, DWORD fallback) {
  DWORD value = 0, size = sizeof value;
  std::string path = SettingsKey(program) + "\\" + section;
  if (RegGetValueA(HKEY_CURRENT_USER, path.c_str(), entry.c_str(), RRF_RT_REG_DWORD, nullptr,
                   &value, &size) != ERROR_SUCCESS) {
    return fallback;
  }
  return value;
}

// The probe's log file, cleared at construction and named to it through the
// environment it inherits.
class ProbeLog {
 public:
  ProbeLog() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    m_path = std::string(temp) + "tw_shell_probe.log";
    DeleteFileA(m_path.c_str());
    SetEnvironmentVariableA("TW_PROBE_LOG", m_path.c_str());
  }
  ~ProbeLog() {
    SetEnvironmentVariableA("TW_PROBE_LOG", nullptr);
    DeleteFileA(m_path.c_str());
  }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    HANDLE f = CreateFileA(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return lines;
    std::string all;
    char buf[4096];
    DWORD n;
    while (ReadFile(f, buf, sizeof buf, &n, nullptr) && n) all.append(buf, n);
    CloseHandle(f);
    std::size_t start = 0;
    for (std::size_t nl; (nl = all.find('\n', start)) != std::string::npos; start = nl + 1) {
      lines.push_back(all.substr(start, nl - start));
    }
    return lines;
  }
  // Waits for the log to hold `count` lines; the last one, or "" on time-out.
  std::string WaitForLine(std::size_t count) const {
    std::string last;
    WaitFor([&] {
      auto lines = Lines();
      if (lines.size() < count) return false;
      last = lines[count - 1];
      return true;
    });
    return last;
  }

 private:
  std::string m_path;
};

// The colour of a screen pixel.
inline COLORREF ScreenPixel(int x, int y) {
  HDC dc = GetDC(nullptr);
  COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(nullptr, dc);
  return c;
}

// Serves one HTTP answer to every request on 127.0.0.1 at a port of its own,
// on a thread of this test program; ended in the destructor.
class LocalHttpServer {
 public:
  explicit LocalHttpServer(std::string body) : m_body(std::move(body)) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    m_listen = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(m_listen, 4);
    int len = sizeof addr;
    getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Serve(); });
  }
  ~LocalHttpServer() {
    closesocket(m_listen);  // ends accept()
    if (m_thread.joinable()) m_thread.join();
    WSACleanup();
  }
  int Port() const { return m_port; }
  const std::string& LastRequest() const { return m_request; }

 private:
  void Serve() {
    for (;;) {
      SOCKET s = accept(m_listen, nullptr, nullptr);
      if (s == INVALID_SOCKET) return;
      std::string req;
      char buf[2048];
      while (req.find("\r\n\r\n") == std::string::npos) {
        int n = recv(s, buf, sizeof buf, 0);
        if (n <= 0) break;
        req.append(buf, n);
      }
      m_request = req;
      std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                         std::to_string(m_body.size()) + "\r\nConnection: close\r\n\r\n";
      std::string all = head + m_body;
      // In small pieces, so that the reader sees short reads mid-answer.
      for (std::size_t pos = 0; pos < all.size(); pos += 700) {
        send(s, all.data() + pos, static_cast<int>(std::min<std::size_t>(700, all.size() - pos)), 0);
        Sleep(5);
      }
      shutdown(s, SD_SEND);
      closesocket(s);
    }
  }
  std::string m_body;
  SOCKET m_listen = INVALID_SOCKET;
  int m_port = 0;
  std::string m_request;
  std::thread m_thread;
};

// A loopback port nobody listens on.
inline int ClosedPort() {
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  int len = sizeof addr;
  getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  closesocket(s);
  WSACleanup();
  return ntohs(addr.sin_port);
}

// Waits for a visible dialog of the program other than `except` (the main
// window shares its caption with every message box) and reads it.
inline MessageBoxInfo WaitForBox(const CAppUnderTest& app, HWND except,
                                 DWORD timeoutMs = kTimeoutMs) {
  MessageBoxInfo info;
  WaitFor(
      [&] {
        for (HWND w : app.TopLevelWindows("", "#32770")) {
          if (w != except && IsWindowVisible(w)) {
            info.hwnd = w;
            return true;
          }
        }
        return false;
      },
      timeoutMs);
  if (!info.hwnd) return info;
  info.caption = GetText(info.hwnd);
  for (HWND w : FindControls(info.hwnd, "Button")) {
    if (IsWindowVisible(w)) info.buttons.push_back(GetDlgCtrlID(w));
  }
  for (HWND w : FindControls(info.hwnd, "Static")) {
    std::string t = GetText(w);
    if (!t.empty()) info.text += (info.text.empty() ? "" : "\n") + t;
  }
  return info;
}

// Posts a key press to a window of the program (the dialog manager of its
// modal loop turns Enter and Escape into commands 1 and 2).
inline void PressKey(HWND hwnd, WPARAM key) {
  PostMessageA(hwnd, WM_KEYDOWN, key, 1);
  PostMessageA(hwnd, WM_KEYUP, key, 0xC0000001);
}

}  // namespace tw::e2e::shell
