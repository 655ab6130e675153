#pragma once

#include <string_view>

namespace tessapak::archive {

// A UTF-16 unit as Windows upper-cases it when it compares file names.
char16_t windowsUpperCase(char16_t unit);

// Whether two names are one name to Windows.
bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b);

}  // namespace tessapak::archive
