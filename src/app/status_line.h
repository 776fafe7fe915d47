// The status line of a page that scans and deletes (the registry and the
// junk-file pages alike): what is being done, the counts and the time since
// the run started, sent to the main window as one text of three fields,
// each ended by ";".
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include "platform/text.h"
#include "platform/threads.h"

namespace tw {

// The texts are loaded from the string table by the page; the defaults are
// the Chinese resources' texts in code page 936, for tests and for a
// missing string.
struct StatusLineTexts {
  std::string scanning = "\xD5\xFD\xD4\xDA\xC9\xA8\xC3\xE8: ";  // 32802 "正在扫描: "
  std::string deleting = "\xD5\xFD\xD4\xDA\xC9\xBE\xB3\xFD: ";  // 32805 "正在删除: "
  std::string finished = "\xC9\xA8\xC3\xE8\xCD\xEA\xB3\xC9.";   // 32803 "扫描完成."
  std::string product = "Tidewell";                             // 32786
  std::string countScan = "\xD7\xDC\xB9\xB2: %d";               // 32800 "总共: %d"
  std::string countDelete = "\xD7\xDC\xB9\xB2: %d   \xC9\xBE\xB3\xFD: %d";  // 57711
  std::string time = "\xCA\xB1\xBC\xE4: %d:%d:%d";  // 32801 "时间: %d:%d:%d"
};

// kFailed ends an operation that could not finish: the text (the system's
// message) stands alone, so that nothing reads like a normal end.
enum class StatusPhase { kStart = 0, kProgress = 1, kFinish = 2, kFailed = 3 };

// Builds "status;count;time;" from the parts.
std::string ComposeStatusLine(const StatusLineTexts& texts, const std::string& text,
                              StatusPhase phase, bool scanning, long long found, long long deleted,
                              std::int64_t elapsedSeconds);

class CStatusLine {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  // The phase tells a sink which texts may wait (progress) and which must
  // show at once (start, finish, failure).
  using Sink = std::function<void(const std::string& status, StatusPhase phase)>;

  // Progress texts go to the sink at most once per `minInterval`; start and
  // finish texts always go, so the last text shown is always exact.
  CStatusLine(Sink sink, Clock clock = {},
              std::chrono::milliseconds minInterval = std::chrono::milliseconds(33));

  void SetTexts(const StatusLineTexts& texts) { m_texts = texts; }
  const StatusLineTexts& Texts() const { return m_texts; }

  // The page's `ReportStatus`: phase 0 also takes the start time. Safe to
  // call from the worker and the interface thread.
  void Report(const std::string& text, StatusPhase phase, bool scanning, long long found,
              long long deleted);
  // Whole seconds since the last start.
  std::int64_t ElapsedSeconds() const;

 private:
  Sink m_sink;
  Clock m_clock;
  std::chrono::milliseconds m_minInterval;
  StatusLineTexts m_texts;
  mutable CMutex m_mutex;
  std::chrono::steady_clock::time_point m_start{};
  std::chrono::steady_clock::time_point m_lastSent{};
  bool m_sentAny = false;
};

}  // namespace tw
