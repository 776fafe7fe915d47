#include "reg_export/reg_format.h"

#include <cstdio>

#include "platform/registry.h"
#include "platform/text.h"

namespace tw {

std::string EscapeRegText(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < text.size()) {
      out += c;
      out += text[++i];
    } else if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else {
      out += c;
    }
  }
  return out;
}

std::string FormatHexList(const std::uint8_t* data, std::size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(size * 3);
  for (std::size_t i = 0; i < size; ++i) {
    if (i) out += ',';
    if (data[i] >= 16) out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 15];
  }
  return out;
}

bool RoundTripsThroughUtf16(const std::string& text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return Utf16ToAnsi(AnsiToUtf16(text)) == text;
  }
  return true;  // plain ASCII converts one to one
}

bool AnsiDataToUtf16Bytes(const std::vector<std::uint8_t>& data, std::vector<std::uint8_t>* out) {
  out->clear();
  out->reserve(data.size() * 2);
  std::size_t start = 0;
  while (start <= data.size()) {
    std::size_t end = start;
    while (end < data.size() && data[end] != 0) ++end;
    const std::string part(data.begin() + start, data.begin() + end);
    if (!RoundTripsThroughUtf16(part)) return false;
    for (char16_t u : AnsiToUtf16(part)) {
      out->push_back(static_cast<std::uint8_t>(u & 0xFF));
      out->push_back(static_cast<std::uint8_t>(u >> 8));
    }
    if (end == data.size()) break;
    out->push_back(0);  // the zero that ended this part
    out->push_back(0);
    start = end + 1;
  }
  return true;
}

bool EndsInLoneLeadByte(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(text[i]))) {
      if (i + 1 == text.size()) return true;
      ++i;  // its trail byte
    }
  }
  return false;
}

bool IsWritableRegText(const std::string& text, bool unicode) {
  if (text.find_first_of("\r\n") != std::string::npos) return false;
  if (text.find('\0') != std::string::npos) return false;
  if (unicode) return RoundTripsThroughUtf16(text);
  // The importer reads a lead byte and whatever follows as one character:
  // the closing quote or bracket would vanish into it.
  return !EndsInLoneLeadByte(text);
}

namespace {

// The quoted form restores "text" plus one zero and nothing else.
bool FitsQuotedString(const std::vector<std::uint8_t>& data, bool unicode) {
  if (data.empty() || data.back() != 0) return false;
  const std::string text(data.begin(), data.end() - 1);
  return IsWritableRegText(text, unicode);
}

bool StringHex(std::uint32_t type, const std::vector<std::uint8_t>& data, bool unicode,
               std::string* out) {
  char prefix[24];
  std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(type));
  if (!unicode) {
    *out = prefix + FormatHexList(data);
    return true;
  }
  std::vector<std::uint8_t> wide;
  if (!AnsiDataToUtf16Bytes(data, &wide)) return false;
  *out = prefix + FormatHexList(wide);
  return true;
}

}  // namespace

bool FormatValueLine(const std::string& name, std::uint32_t type,
                     const std::vector<std::uint8_t>& data, bool unicode, std::string* line) {
  if (!IsWritableRegText(name, unicode)) return false;
  std::string out;
  if (name.empty()) {
    out = "@=";
  } else {
    out += '"';
    out += EscapeRegText(name);
    out += "\"=";
  }
  std::string part;
  switch (type) {
    case kRegSz:
      if (FitsQuotedString(data, unicode)) {
        part += '"';
        part += EscapeRegText(std::string(data.begin(), data.end() - 1));
        part += '"';
      } else if (!StringHex(type, data, unicode, &part)) {
        return false;
      }
      break;
    case kRegExpandSz:
    case kRegMultiSz:
      if (!StringHex(type, data, unicode, &part)) return false;
      break;
    case kRegDword:
      if (data.size() == 4) {
        char text[20];
        const unsigned v = data[0] | (data[1] << 8) | (data[2] << 16) |
                           (static_cast<unsigned>(data[3]) << 24);
        std::snprintf(text, sizeof text, "dword:%08x", v);
        part = text;
      } else {
        part = "hex(4):" + FormatHexList(data);
      }
      break;
    case kRegBinary:
      part = "hex:" + FormatHexList(data);
      break;
    default: {
      char prefix[24];
      std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(type));
      part = prefix + FormatHexList(data);
      break;
    }
  }
  *line = out + part;
  return true;
}

}  // namespace tw
