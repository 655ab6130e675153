#pragma once

// UTF-8 and UTF-16 conversions, strict where a name is stored or opened and
// lenient only where one is shown.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tessapak::archive {

inline bool isHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
inline bool isLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// A path from UTF-8 text and back, the same on every host (on Windows a
// path built from a plain std::string would be read in the ANSI code page).
// An unpaired surrogate in a Windows name shows as U+FFFD.
std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string utf8Of(const std::filesystem::path& path);

// Length of the well-formed UTF-8 sequence at text[i] with its code point in
// codePoint, or 0 when the byte there does not start one.
std::size_t decodeUtf8(std::string_view text, std::size_t i, char32_t& codePoint);

// Appends one code point to a UTF-8 string.
void appendUtf8(std::string& out, char32_t codePoint);

// Strict conversions: overlong forms, encoded surrogates, code points past
// U+10FFFF, cut-off sequences and unpaired surrogates give nothing.
std::optional<std::u16string> utf8ToUtf16(std::string_view utf8);
std::optional<std::string> utf16ToUtf8(std::u16string_view utf16);
// The same, appending to out; false (out partly written) on failure.
bool utf16ToUtf8(std::u16string_view utf16, std::string& out);

}  // namespace tessapak::archive
