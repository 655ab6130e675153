#include "archive/utf.h"

namespace tessapak::archive {

namespace {

// Converts UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD when
// lenient, and fails the conversion otherwise.
bool convertUtf16(std::u16string_view in, std::string& out, bool lenient) {
    out.reserve(out.size() + in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        char32_t cp = in[i];
        if (isHighSurrogate(cp) && i + 1 < in.size() && isLowSurrogate(in[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            ++i;
        } else if (isHighSurrogate(cp) || isLowSurrogate(cp)) {
            if (!lenient) {
                return false;
            }
            cp = 0xFFFD;
        }
        appendUtf8(out, cp);
    }
    return true;
}

// A path's text for messages: an unpaired surrogate in a Windows name shows
// as U+FFFD rather than failing the message.
template <typename Native>
std::string toUtf8(const Native& native) {
    if constexpr (std::is_same_v<typename Native::value_type, wchar_t>) {
        std::string out;
        convertUtf16(std::u16string(native.begin(), native.end()), out, true);
        return out;
    } else {
        return native;
    }
}

}  // namespace

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Length of the well-formed UTF-8 sequence at text[i] with its code point in
// cp, or 0 when the byte there does not start one.
std::size_t decodeUtf8(std::string_view text, std::size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        cp = b0 & 0x0F;
        low = b0 == 0xE0 ? 0xA0 : low;    // overlong
        high = b0 == 0xED ? 0x9F : high;  // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07;
        low = b0 == 0xF0 ? 0x90 : low;    // overlong
        high = b0 == 0xF4 ? 0x8F : high;  // past U+10FFFF
    } else {
        return 0;
    }
    if (text.size() - i < length) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) {
            return 0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    return length;
}

std::optional<std::u16string> utf8ToUtf16(std::string_view in) {
    std::u16string out;
    out.reserve(in.size());
    std::size_t i = 0;
    while (i < in.size()) {
        const auto b0 = static_cast<unsigned char>(in[i]);
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        }
        char32_t cp;
        const std::size_t length = decodeUtf8(in, i, cp);
        if (length == 0) {
            return std::nullopt;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += length;
    }
    return out;
}

std::optional<std::string> utf16ToUtf8(std::u16string_view in) {
    std::string out;
    if (!convertUtf16(in, out, false)) {
        return std::nullopt;
    }
    return out;
}

bool utf16ToUtf8(std::u16string_view in, std::string& out) {
    return convertUtf16(in, out, false);
}

std::filesystem::path pathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8Of(const std::filesystem::path& path) {
    return toUtf8(path.native());
}

}  // namespace tessapak::archive
