// printf-style formatting of texts that come from the string table (and so
// possibly from a language library): only the conversions the texts use are
// understood, each is matched against the argument's own type, and a text
// that asks for more or other arguments than it is given cannot read past
// them.
#pragma once

#include <string>
#include <variant>
#include <vector>

namespace tw {

using FormatArg = std::variant<long long, double, std::string>;

// Understands %d, %i, %u, %s, %f with flags "-" and "0", a width and a
// precision, and "%%". A conversion without an argument of its kind prints
// nothing; anything else is copied as it is.
std::string FormatText(const std::string& format, const std::vector<FormatArg>& args);

}  // namespace tw
