#pragma once

#include <exception>
#include <string>

namespace tessapak::cli {

// One line (no line breaks inside) describing why an operation failed,
// naming the path where there is one: "/x/y.rdb: not an RDB archive (bad magic)".
std::string describeFailure(const std::exception& error);

// Line breaks in text become blanks, so that a failure stays one line even
// when a path or a system message carries one; other controls and invisible
// format characters are escaped.
std::string oneLine(std::string text);

}  // namespace tessapak::cli
