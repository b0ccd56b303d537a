// Small text helpers of the summary page: HTML escaping, numbers in the manner of each
// language, colours, base64.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "formats/png.h"

namespace page {

// `fmt` with each "%s" replaced by the next of `args` (already escaped) and each "%d" by
// the next of `ints`.
std::string fill(std::string_view fmt, std::initializer_list<std::string> args,
                 std::initializer_list<long long> ints = {});
// Escapes a string for HTML text and attribute values. Bytes that do not form valid
// UTF-8 (a name in a legacy encoding) become U+FFFD, so that the page stays valid.
std::string esc(std::string_view in);
// A whole number with groups of three digits, in the manner of the language.
std::string group(long long v, int idiom);
// A real number with `decimals` decimals, the decimal mark of the language.
std::string real(double v, int decimals, int idiom);
// A percent as the page shows a share: three significant figures, at most three
// decimals.
std::string pct(double v, int idiom);
// "#rrggbb".
std::string css_colour(const Rgba& c);
std::string base64(const std::string& bytes);
// A coordinate of a drawing: at most two decimals, no trailing zeros.
std::string num(double v);
// The last part of a path, for the heading.
std::string file_part(const std::string& path);

}  // namespace page
