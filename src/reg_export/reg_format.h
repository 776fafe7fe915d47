// Pure text rules of the registry-export format: escaping, hex lists and
// value lines. The lines are built in the ANSI code page; a Unicode file
// converts them as a whole, and only string data differs between the two
// forms (its hex bytes are UTF-16LE in a Unicode file, ANSI bytes in an
// ANSI one, which is how the registry editor reads each of them back).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tw {

// Every "\" becomes "\\", then every double quote becomes "\"". Trail bytes
// of double-byte characters are left alone.
std::string EscapeRegText(const std::string& text);
// "1,0,ff": each byte as lower-case hex without leading zeros.
std::string FormatHexList(const std::uint8_t* data, std::size_t size);
inline std::string FormatHexList(const std::vector<std::uint8_t>& data) {
  return FormatHexList(data.data(), data.size());
}

// True when text survives the trip to UTF-16 and back unchanged.
bool RoundTripsThroughUtf16(const std::string& text);
// String data (zeros included) as UTF-16LE bytes; false when a part of it
// does not convert back to the same bytes.
bool AnsiDataToUtf16Bytes(const std::vector<std::uint8_t>& data, std::vector<std::uint8_t>* out);

// True when the last byte of text is a lead byte without its trail byte.
bool EndsInLoneLeadByte(const std::string& text);

// A name or key path can be written when it holds no line break and, for a
// Unicode file, converts without loss; for an ANSI file, when it does not end
// in a lone lead byte (string data that does goes as a hex list instead).
bool IsWritableRegText(const std::string& text, bool unicode);

// One value line without its line end ("\"Path\"=\"C:\\\\x\"", "@=dword:00000001",
// "\"b\"=hex:1,0,ff"). Data that the quoted or dword forms cannot carry
// exactly (embedded zeros, a missing terminator, line breaks, a DWORD of
// another size) is written as a typed hex list instead. False when the
// value cannot be written so that it reads back the same.
bool FormatValueLine(const std::string& name, std::uint32_t type,
                     const std::vector<std::uint8_t>& data, bool unicode, std::string* line);

}  // namespace tw
