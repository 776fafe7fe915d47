#include "clock_sync/message_format.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace tw {

std::string FormatText(const std::string& format, const std::vector<FormatArg>& args) {
  std::string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    // %[-0][width][.precision]conversion
    std::size_t j = i + 1;
    std::string spec = "%";
    while (j < format.size() && (format[j] == '-' || format[j] == '0')) spec += format[j++];
    int digits = 0;
    while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])) && digits < 3) {
      spec += format[j++];
      ++digits;
    }
    if (j < format.size() && format[j] == '.') {
      spec += format[j++];
      digits = 0;
      while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])) &&
             digits < 2) {
        spec += format[j++];
        ++digits;
      }
    }
    if (j >= format.size() || std::string("diusf").find(format[j]) == std::string::npos) {
      out += c;  // not a conversion this formatter knows: literal text
      continue;
    }
    const char conv = format[j];
    i = j;
    if (next >= args.size()) continue;
    const FormatArg& arg = args[next++];
    char buf[512];
    if (conv == 's') {
      const std::string* text = std::get_if<std::string>(&arg);
      if (!text) continue;
      // Width only pads; the text itself is never cut.
      const std::size_t digitsAt = spec.find_first_not_of("%-0");
      const std::size_t width = digitsAt == std::string::npos
                                    ? 0
                                    : static_cast<std::size_t>(std::atoi(spec.c_str() + digitsAt));
      const std::size_t pad = width > text->size() ? width - text->size() : 0;
      if (spec.find('-') != std::string::npos) {
        out += *text;
        out.append(pad, ' ');
      } else {
        out.append(pad, ' ');
        out += *text;
      }
    } else if (conv == 'f') {
      double v = 0;
      if (const double* d = std::get_if<double>(&arg))
        v = *d;
      else if (const long long* n = std::get_if<long long>(&arg))
        v = static_cast<double>(*n);
      else
        continue;
      std::snprintf(buf, sizeof buf, (spec + "f").c_str(), v);
      out += buf;
    } else {
      const long long* n = std::get_if<long long>(&arg);
      if (!n) continue;
      std::snprintf(buf, sizeof buf, (spec + (conv == 'u' ? "llu" : "lld")).c_str(), *n);
      out += buf;
    }
  }
  return out;
}

}  // namespace tw
