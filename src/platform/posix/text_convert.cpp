// ANSI <-> UTF-16 conversion for the native build, through iconv with the
// code page the text helpers are set to.
#include <errno.h>
#include <iconv.h>

#include <cstring>
#include <string>

#include "platform/text.h"

namespace tw {

unsigned DefaultAnsiCodePage() { return 936; }

namespace {

// iconv's name for a Windows code page; several spellings are tried.
const char* const* CharsetNames(unsigned codePage) {
  static const char* const k936[] = {"CP936", "GBK", nullptr};
  static const char* const k950[] = {"CP950", "BIG5", nullptr};
  static const char* const k949[] = {"CP949", "UHC", nullptr};
  static const char* const k932[] = {"CP932", "SHIFT_JIS", nullptr};
  static const char* const kUtf8[] = {"UTF-8", nullptr};
  switch (codePage) {
    case 936:
      return k936;
    case 950:
      return k950;
    case 949:
      return k949;
    case 932:
      return k932;
    case 65001:
      return kUtf8;
    default:
      return nullptr;
  }
}

// One converter per thread and direction, reopened when the code page changes.
class CConverter {
 public:
  CConverter(bool toUtf16) : m_bToUtf16(toUtf16) {}
  ~CConverter() { Close(); }
  iconv_t Get() {
    const unsigned cp = GetAnsiCodePage();
    if (m_cd != reinterpret_cast<iconv_t>(-1) && cp == m_nCodePage) {
      iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // reset the shift state
      return m_cd;
    }
    Close();
    m_nCodePage = cp;
    std::string generic = "CP" + std::to_string(cp);
    const char* fallback[] = {generic.c_str(), nullptr};
    const char* const* names = CharsetNames(cp);
    if (!names) names = fallback;
    for (; *names && m_cd == reinterpret_cast<iconv_t>(-1); ++names) {
      m_cd = m_bToUtf16 ? iconv_open("UTF-16LE", *names) : iconv_open(*names, "UTF-16LE");
    }
    if (m_cd == reinterpret_cast<iconv_t>(-1)) {
      m_cd =
          m_bToUtf16 ? iconv_open("UTF-16LE", "ISO-8859-1") : iconv_open("ISO-8859-1", "UTF-16LE");
    }
    return m_cd;
  }

 private:
  void Close() {
    if (m_cd != reinterpret_cast<iconv_t>(-1)) iconv_close(m_cd);
    m_cd = reinterpret_cast<iconv_t>(-1);
  }
  bool m_bToUtf16;
  unsigned m_nCodePage = 0;
  iconv_t m_cd = reinterpret_cast<iconv_t>(-1);
};

// Runs iconv over the input; an input unit that cannot be converted becomes
// the replacement and is skipped (skip bytes).
std::string Convert(iconv_t cd, const char* in, std::size_t inLeft, std::size_t skip,
                    const std::string& replacement) {
  std::string out;
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  char buf[1024];
  while (inLeft > 0) {
    char* outPtr = buf;
    std::size_t outLeft = sizeof buf;
    char* inPtr = const_cast<char*>(in);
    const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buf, outPtr - buf);
    in = inPtr;
    if (rc == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (a cut-off character at the end).
      out += replacement;
      const std::size_t n = inLeft < skip ? inLeft : skip;
      in += n;
      inLeft -= n;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  return out;
}

}  // namespace

std::u16string AnsiToUtf16(const std::string& s) {
  thread_local CConverter conv(true);
  const std::string bytes = Convert(conv.Get(), s.data(), s.size(), 1, std::string("?\0", 2));
  std::u16string out(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return out;
}

std::string Utf16ToAnsi(const std::u16string& s) {
  thread_local CConverter conv(false);
  std::string in(s.size() * 2, '\0');
  for (std::size_t i = 0; i < s.size(); ++i) {
    in[2 * i] = static_cast<char>(s[i] & 0xFF);
    in[2 * i + 1] = static_cast<char>(s[i] >> 8);
  }
  return Convert(conv.Get(), in.data(), in.size(), 2, "?");
}

}  // namespace tw
