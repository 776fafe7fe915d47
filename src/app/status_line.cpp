#include "app/status_line.h"

namespace tw {

std::string ComposeStatusLine(const StatusLineTexts& texts, const std::string& text,
                              StatusPhase phase, bool scanning, long long found, long long deleted,
                              std::int64_t elapsedSeconds) {
  if (phase == StatusPhase::kStart || elapsedSeconds < 0) elapsedSeconds = 0;
  const std::string time = FormatNumbers(
      texts.time, {elapsedSeconds / 3600, (elapsedSeconds / 60) % 60, elapsedSeconds % 60});
  const std::string count = scanning ? FormatNumbers(texts.countScan, {found})
                                     : FormatNumbers(texts.countDelete, {found, deleted});
  std::string status;
  if (phase == StatusPhase::kFinish) {
    status = scanning ? texts.finished : texts.product;
  } else if (phase == StatusPhase::kFailed) {
    // ";" ends the field.
    status = text;
    for (char& c : status) {
      if (c == ';') c = ',';
    }
  } else {
    status = (scanning ? texts.scanning : texts.deleting) + text;
  }
  return status + ";" + count + ";" + time + ";";
}

CStatusLine::CStatusLine(Sink sink, Clock clock, std::chrono::milliseconds minInterval)
    : m_sink(std::move(sink)), m_clock(std::move(clock)), m_minInterval(minInterval) {
  if (!m_clock) m_clock = [] { return std::chrono::steady_clock::now(); };
  m_start = m_clock();
}

std::int64_t CStatusLine::ElapsedSeconds() const {
  CMutexLock lock(m_mutex);
  return std::chrono::duration_cast<std::chrono::seconds>(m_clock() - m_start).count();
}

void CStatusLine::Report(const std::string& text, StatusPhase phase, bool scanning, long long found,
                         long long deleted) {
  std::string status;
  {
    CMutexLock lock(m_mutex);
    const auto now = m_clock();
    if (phase == StatusPhase::kStart) m_start = now;
    if (phase == StatusPhase::kProgress && m_sentAny && now - m_lastSent < m_minInterval) return;
    m_lastSent = now;
    m_sentAny = true;
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(now - m_start).count();
    status = ComposeStatusLine(m_texts, text, phase, scanning, found, deleted, elapsed);
  }
  if (m_sink) m_sink(status, phase);
}

}  // namespace tw
