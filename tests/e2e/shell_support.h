// Helpers shared by the shell's end-to-end tests: the programs' settings
// keys, the probe's log, screen pixels and a one-shot local HTTP server.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
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

// Serves HTTP on 127.0.0.1 at a port of its own, on a thread of this test
// program; ended in the destructor. Each connection gets the next way of
// answering from the list (the last one repeats): the whole answer, an
// answer that never ends, or silence with the connection held open.
class LocalHttpServer {
 public:
  enum class Way { kAnswer, kEndless, kSilent };

  explicit LocalHttpServer(std::string body, std::vector<Way> ways = {Way::kAnswer})
      : m_body(std::move(body)), m_ways(std::move(ways)) {
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
    m_stop = true;
    closesocket(m_listen);  // ends accept()
    if (m_thread.joinable()) m_thread.join();
    WSACleanup();
  }
  int Port() const { return m_port; }
  const std::string& LastRequest() const { return m_request; }

 private:
  void Serve() {
    for (std::size_t n = 0;; ++n) {
      SOCKET s = accept(m_listen, nullptr, nullptr);
      if (s == INVALID_SOCKET) return;
      std::string req;
      char buf[2048];
      while (req.find("\r\n\r\n") == std::string::npos) {
        int got = recv(s, buf, sizeof buf, 0);
        if (got <= 0) break;
        req.append(buf, got);
      }
      m_request = req;
      switch (m_ways[std::min(n, m_ways.size() - 1)]) {
        case Way::kAnswer: {
          std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                             std::to_string(m_body.size()) + "\r\nConnection: close\r\n\r\n";
          std::string all = head + m_body;
          // In small pieces, so that the reader sees short reads mid-answer.
          for (std::size_t pos = 0; pos < all.size(); pos += 700) {
            send(s, all.data() + pos,
                 static_cast<int>(std::min<std::size_t>(700, all.size() - pos)), 0);
            Sleep(5);
          }
          break;
        }
        case Way::kEndless: {
          // No length: the answer ends when the server stops, which it never
          // does until the reader hangs up.
          std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
          send(s, head.data(), static_cast<int>(head.size()), 0);
          while (!m_stop && send(s, m_body.data(), static_cast<int>(m_body.size()), 0) > 0) {
            Sleep(1);
          }
          break;
        }
        case Way::kSilent:
          // Held open until the reader hangs up (or its process ends).
          while (recv(s, buf, sizeof buf, 0) > 0) {
          }
          break;
      }
      shutdown(s, SD_SEND);
      closesocket(s);
    }
  }
  std::string m_body;
  std::vector<Way> m_ways;
  SOCKET m_listen = INVALID_SOCKET;
  int m_port = 0;
  std::string m_request;
  std::atomic<bool> m_stop{false};
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

// Whether a UTF-8 text holds a Chinese character (CJK ideographs and
// punctuation, full-width forms).
inline bool HasChinese(const std::string& utf8) {
  for (wchar_t c : Widen(utf8)) {
    if ((c >= 0x3000 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
        (c >= 0xFF00 && c <= 0xFFEF)) {
      return true;
    }
  }
  return false;
}

// The texts a user sees in a window and its visible descendants (captions,
// labels, buttons, edit boxes, list headers and rows, status bar panes) that
// hold Chinese, each with the control it was read from.
inline std::vector<std::string> ChineseTexts(HWND root) {
  std::vector<std::string> found;
  auto check = [&](HWND w, const std::string& text) {
    if (HasChinese(text)) {
      found.push_back(ClassName(w) + " " + std::to_string(GetDlgCtrlID(w)) + ": " + text);
    }
  };
  check(root, GetText(root));
  for (HWND w : FindControls(root)) {
    if (!IsShown(w)) continue;
    const std::string cls = ClassName(w);
    if (cls == "msctls_statusbar32") {
      for (const std::string& pane : StatusBarTexts(w)) check(w, pane);
      continue;
    }
    check(w, GetText(w));
    if (cls == "SysListView32") {
      for (const std::string& title : ListViewHeaders(w)) check(w, title);
      for (const auto& row : ListViewRows(w)) {
        for (const std::string& cell : row) check(w, cell);
      }
    }
  }
  return found;
}

// Posts a key press to a window of the program (the dialog manager of its
// modal loop turns Enter and Escape into commands 1 and 2).
inline void PressKey(HWND hwnd, WPARAM key) {
  PostMessageA(hwnd, WM_KEYDOWN, key, 1);
  PostMessageA(hwnd, WM_KEYUP, key, 0xC0000001);
}

}  // namespace tw::e2e::shell
