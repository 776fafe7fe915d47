// Fault injection for the in-memory backends: "make the Nth call fail". A
// fault sweep runs an operation once to count its calls, then once per N
// with call N failing, and checks that nothing was half done.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

namespace tw {

class CFaultPlan {
 public:
  // Call n (counted from 1 after this call) fails with error; with
  // failLater every call from n on fails too. mutatingOnly counts only
  // calls that change something (writes, creations, deletions, moves).
  void FailCall(std::uint64_t n, long error = kErrorAccessDenied, bool mutatingOnly = false,
                bool failLater = false) {
    m_nCalls = 0;
    m_nFailAt = n;
    m_nError = error;
    m_bMutatingOnly = mutatingOnly;
    m_bFailLater = failLater;
  }
  void Clear() {
    m_nFailAt = 0;
    m_nCalls = 0;
  }
  // Calls counted since the last FailCall/Clear/ResetCount.
  std::uint64_t Calls() const { return m_nCalls; }
  void ResetCount() { m_nCalls = 0; }
  // Set only (counting mode) so tests can count calls before a sweep.
  void CountMutatingOnly(bool on) { m_bMutatingOnly = on; }

  // Counts one call; true (with *error set) when this call is to fail.
  bool Tick(bool mutating, long* error) {
    if (m_bMutatingOnly && !mutating) return false;
    ++m_nCalls;
    if (m_nFailAt == 0) return false;
    const bool fail = m_bFailLater ? m_nCalls >= m_nFailAt : m_nCalls == m_nFailAt;
    if (fail && error) *error = m_nError;
    return fail;
  }

 private:
  std::uint64_t m_nCalls = 0;
  std::uint64_t m_nFailAt = 0;
  long m_nError = kErrorAccessDenied;
  bool m_bMutatingOnly = false;
  bool m_bFailLater = false;
};

}  // namespace tw
