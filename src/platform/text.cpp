// Code-page-aware text helpers. Every walk goes character by character from
// the start of the text: in a double-byte code page only the start tells
// whether a byte is a lead byte, a trail byte or a character of its own.
#include "platform/text.h"

#include <atomic>

namespace tw {

namespace {

// 0 until the first use, then the code page in force.
std::atomic<unsigned> g_nAnsiCodePage{0};

bool IsAsciiUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }
bool IsAsciiLower(unsigned char c) { return c >= 'a' && c <= 'z'; }
unsigned char FoldUpper(unsigned char c) {
  return IsAsciiLower(c) ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// Length in bytes of the character that starts at s[i] (1 or 2). A lead
// byte at the very end stands alone.
std::size_t CharLength(const std::string& s, std::size_t i, unsigned codePage) {
  if (IsLeadByteIn(codePage, static_cast<unsigned char>(s[i])) && i + 1 < s.size()) return 2;
  return 1;
}

template <typename Fold>
std::string ChangeCase(std::string s, Fold fold) {
  const unsigned cp = GetAnsiCodePage();
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = CharLength(s, i, cp);
    if (n == 1) s[i] = static_cast<char>(fold(static_cast<unsigned char>(s[i])));
    i += n;
  }
  return s;
}

}  // namespace

void SetAnsiCodePage(unsigned codePage) { g_nAnsiCodePage.store(codePage); }

unsigned GetAnsiCodePage() {
  unsigned cp = g_nAnsiCodePage.load();
  if (cp == 0) {
    // The backend knows the system's code page (GetACP on Windows).
    unsigned expected = 0;
    g_nAnsiCodePage.compare_exchange_strong(expected, DefaultAnsiCodePage());
    cp = g_nAnsiCodePage.load();
  }
  return cp;
}

bool IsLeadByteIn(unsigned codePage, unsigned char c) {
  switch (codePage) {
    case 936:  // simplified Chinese (GBK)
    case 949:  // Korean
    case 950:  // traditional Chinese (Big5)
      return c >= 0x81 && c <= 0xFE;
    case 932:  // Japanese (Shift-JIS)
      return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    default:
      return false;
  }
}

bool IsLeadByte(unsigned char c) { return IsLeadByteIn(GetAnsiCodePage(), c); }

std::size_t NextCharPos(const std::string& s, std::size_t i) {
  if (i >= s.size()) return s.size();
  return i + CharLength(s, i, GetAnsiCodePage());
}

std::string LowerCase(std::string s) {
  return ChangeCase(std::move(s), [](unsigned char c) {
    return IsAsciiUpper(c) ? static_cast<unsigned char>(c - 'A' + 'a') : c;
  });
}

std::string UpperCase(std::string s) { return ChangeCase(std::move(s), FoldUpper); }

// Each search first looks at the bytes alone: a character found is also a
// byte found, and most searches find nothing.
std::size_t FindChar(const std::string& s, char ch, std::size_t from) {
  if (s.find(ch, from) == std::string::npos) return std::string::npos;
  const unsigned cp = GetAnsiCodePage();
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = CharLength(s, i, cp);
    if (i >= from && n == 1 && s[i] == ch) return i;
    i += n;
  }
  return std::string::npos;
}

std::size_t FindLastChar(const std::string& s, char ch) {
  if (s.find(ch) == std::string::npos) return std::string::npos;
  const unsigned cp = GetAnsiCodePage();
  std::size_t found = std::string::npos;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = CharLength(s, i, cp);
    if (n == 1 && s[i] == ch) found = i;
    i += n;
  }
  return found;
}

std::size_t FindText(const std::string& s, const std::string& needle, std::size_t from) {
  if (from > s.size() || s.find(needle, from) == std::string::npos) return std::string::npos;
  const unsigned cp = GetAnsiCodePage();
  for (std::size_t i = 0; i <= s.size();) {
    if (i >= from && s.compare(i, needle.size(), needle) == 0 && i + needle.size() <= s.size()) {
      // The match must also end on a character boundary: a needle ending in
      // a lead byte must not eat half of the next character.
      std::size_t end = i;
      while (end < i + needle.size()) end += CharLength(s, end, cp);
      if (end == i + needle.size()) return i;
    }
    if (i == s.size()) break;
    i += CharLength(s, i, cp);
  }
  return std::string::npos;
}

int CompareNoCase(const std::string& a, const std::string& b) {
  const unsigned cp = GetAnsiCodePage();
  // Up to the first difference both texts have the same character
  // boundaries (folding touches only ASCII letters, never lead bytes), so
  // one walk serves both.
  bool trail = false;
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    if (!trail) {
      ca = FoldUpper(ca);
      cb = FoldUpper(cb);
    }
    if (ca != cb) return ca < cb ? -1 : 1;
    trail = !trail && IsLeadByteIn(cp, ca);
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

void SplitAtLastBackslash(const std::string& path, std::string* folder, std::string* name) {
  const std::size_t pos = FindLastChar(path, '\\');
  std::string f, n;
  if (pos == std::string::npos) {
    n = path;
  } else {
    f = path.substr(0, pos);
    n = path.substr(pos + 1);
  }
  if (folder) *folder = std::move(f);
  if (name) *name = std::move(n);
}

std::string FormatNumbers(const std::string& format, std::initializer_list<long long> numbers) {
  std::string out;
  auto next = numbers.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      if (format[i + 1] == 'd') {
        out += next != numbers.end() ? std::to_string(*next++) : std::string("%d");
        ++i;
        continue;
      }
      if (format[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
    }
    out += format[i];
  }
  return out;
}

}  // namespace tw
