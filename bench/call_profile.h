// Where a registry walk's time goes: every registry and file-system call
// made through the platform layer, counted and timed by kind, and the CPU
// the walking thread itself spent. Run apart from timed rounds, which the
// timing of each call would slow.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "regscan_generator.h"

namespace tw::bench {

struct CallProfile {
  enum Kind { kOpen, kOpenNoFollow, kEnumKey, kEnumValue, kQuery, kClose, kFind, kKinds };
  std::size_t calls[kKinds] = {};
  double ms[kKinds] = {};
  bool on = false;
  template <typename F>
  auto Time(Kind kind, F&& f) {
    if (!on) return f();
    const double t0 = NowMillis();
    auto r = f();
    ms[kind] += NowMillis() - t0;
    ++calls[kind];
    return r;
  }
  std::size_t Total() const {
    std::size_t n = 0;
    for (std::size_t c : calls) n += c;
    return n;
  }
  void Print(const char* bench, const char* what, std::size_t keys, double totalMs) const {
    static const char* const kNames[] = {"open",  "open-no-follow", "enum-key", "enum-value",
                                         "query", "close",          "find-first"};
    double inCalls = 0;
    std::printf("%s profile %s (%zu keys, %.1f ms):", bench, what, keys, totalMs);
    for (int k = 0; k < kKinds; ++k) {
      inCalls += ms[k];
      if (calls[k]) std::printf(" %s %zu (%.1f ms)", kNames[k], calls[k], ms[k]);
    }
    std::printf("; %zu calls; outside the calls %.1f ms\n", Total(), totalMs - inCalls);
    std::fflush(stdout);
  }
};

// Any registry backend with its calls counted into a profile.
template <typename Base>
class CProfiledRegistry : public Base {
 public:
  template <typename... Args>
  explicit CProfiledRegistry(CallProfile& p, Args&&... args)
      : Base(std::forward<Args>(args)...), m_p(p) {}
  long OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* out,
               RegView view = RegView::kDefault) override {
    return m_p.Time(CallProfile::kOpen, [&] { return Base::OpenKey(parent, path, access, out, view); });
  }
  long OpenKeyNoFollow(RegKey parent, const std::string& name, std::uint32_t access, RegKey* out,
                       bool* isLink) override {
    return m_p.Time(CallProfile::kOpenNoFollow,
                    [&] { return Base::OpenKeyNoFollow(parent, name, access, out, isLink); });
  }
  long EnumKey(RegKey key, std::uint32_t index, std::string* name, std::size_t nameBuf) override {
    return m_p.Time(CallProfile::kEnumKey, [&] { return Base::EnumKey(key, index, name, nameBuf); });
  }
  long EnumValue(RegKey key, std::uint32_t index, std::string* name, std::uint32_t* type,
                 std::vector<std::uint8_t>* data, std::size_t nameBuf, std::size_t dataBuf) override {
    return m_p.Time(CallProfile::kEnumValue,
                    [&] { return Base::EnumValue(key, index, name, type, data, nameBuf, dataBuf); });
  }
  long QueryValue(RegKey key, const std::string& name, std::uint32_t* type,
                  std::vector<std::uint8_t>* data, std::size_t dataBuf) override {
    return m_p.Time(CallProfile::kQuery, [&] { return Base::QueryValue(key, name, type, data, dataBuf); });
  }
  long CloseKey(RegKey key) override {
    return m_p.Time(CallProfile::kClose, [&] { return Base::CloseKey(key); });
  }

 private:
  CallProfile& m_p;
};

template <typename Base>
class CProfiledFileSystem : public Base {
 public:
  explicit CProfiledFileSystem(CallProfile& p) : m_p(p) {}
  std::unique_ptr<IFileFind> FindFirst(const std::string& pattern, FindData* first,
                                       long* error = nullptr) override {
    return m_p.Time(CallProfile::kFind, [&] { return Base::FindFirst(pattern, first, error); });
  }

 private:
  CallProfile& m_p;
};

}  // namespace tw::bench
