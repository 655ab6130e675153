#include "archive/names.h"

#include "archive/display_text.h"

namespace tessapak::archive {

namespace {

constexpr char16_t kStoredSeparator = u'\\';

bool isHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
bool isAsciiLetter(char16_t unit) {
    return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z');
}

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

std::string storableReason(const std::filesystem::path& relative, std::u16string* stored) {
    const std::string& bytes = relative.native();
    std::u16string result;
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = bytes.find('/', start);
        const std::string_view component = std::string_view(bytes).substr(
            start, slash == std::string::npos ? std::string::npos : slash - start);
        if (component.find('\\') != std::string_view::npos) {
            return "the name contains \"\\\", which an RDB archive uses between folders";
        }
        const auto units = utf8ToUtf16(component);
        if (!units) {
            return "the name is not valid UTF-8";
        }
        if (!result.empty() || start != 0) {
            result.push_back(kStoredSeparator);
        }
        result += *units;
        if (slash == std::string::npos) {
            break;
        }
        start = slash + 1;
    }
    std::string unsafe = unsafeNameReason(result);
    if (!unsafe.empty()) {
        return unsafe;
    }
    if (stored) {
        *stored = std::move(result);
    }
    return {};
}

}  // namespace

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
        std::size_t length;
        char32_t cp;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            length = 2;
            cp = b0 & 0x1F;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3;
            cp = b0 & 0x0F;
            if (b0 == 0xE0) {
                low = 0xA0;  // overlong below U+0800
            } else if (b0 == 0xED) {
                high = 0x9F;  // surrogates
            }
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            length = 4;
            cp = b0 & 0x07;
            if (b0 == 0xF0) {
                low = 0x90;  // overlong below U+10000
            } else if (b0 == 0xF4) {
                high = 0x8F;  // past U+10FFFF
            }
        } else {
            return std::nullopt;
        }
        if (in.size() - i < length) {
            return std::nullopt;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto b = static_cast<unsigned char>(in[i + k]);
            if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) {
                return std::nullopt;
            }
            cp = (cp << 6) | (b & 0x3F);
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

std::string unsafeNameReason(const std::u16string& name) {
    if (name.empty()) {
        return "the name is empty";
    }
    if (name.front() == kStoredSeparator) {
        return "the name starts with \"\\\"";
    }
    if (name.size() >= 2 && isAsciiLetter(name[0]) && name[1] == u':') {
        return "the name starts with a drive";
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i];
        if (unit < 0x20 || unit == 0x7F) {
            return "the name contains a control character";
        }
        if (unit == u':') {
            return "the name contains \":\"";
        }
        if (unit == u'/') {
            return "the name contains \"/\"";
        }
        if (isHighSurrogate(unit)) {
            if (i + 1 < name.size() && isLowSurrogate(name[i + 1])) {
                ++i;
                continue;
            }
            return "the name contains an unpaired surrogate";
        }
        if (isLowSurrogate(unit)) {
            return "the name contains an unpaired surrogate";
        }
    }
    std::size_t start = 0;
    while (true) {
        std::size_t end = name.find(kStoredSeparator, start);
        if (end == std::u16string::npos) {
            end = name.size();
        }
        const std::u16string_view component = std::u16string_view(name).substr(start, end - start);
        if (component.empty()) {
            return "the name has an empty folder or file name";
        }
        if (component == u"." || component == u"..") {
            return "the name has a component \".\" or \"..\"";
        }
        if (end == name.size()) {
            break;
        }
        start = end + 1;
    }
    return {};
}

std::optional<std::filesystem::path> hostPathFor(const std::u16string& storedName) {
    if (!unsafeNameReason(storedName).empty()) {
        return std::nullopt;
    }
    std::string native;
    if (!convertUtf16(storedName, native, false)) {
        return std::nullopt;
    }
    for (char& c : native) {
        if (c == '\\') {
            c = '/';
        }
    }
    return std::filesystem::path(std::move(native));
}

std::optional<std::u16string> storedNameFor(const std::filesystem::path& relative) {
    std::u16string stored;
    if (!storableReason(relative, &stored).empty()) {
        return std::nullopt;
    }
    return stored;
}

std::string unstorableNameReason(const std::filesystem::path& relative) {
    return storableReason(relative, nullptr);
}

std::string displayName(const std::u16string& storedName, std::size_t limit) {
    DisplayBuilder shown;
    for (std::size_t i = 0; i < storedName.size(); ++i) {
        char32_t cp = storedName[i];
        if (cp == kStoredSeparator) {
            shown.addLiteral("/");
            continue;
        }
        if (isHighSurrogate(cp) && i + 1 < storedName.size() && isLowSurrogate(storedName[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (storedName[i + 1] - 0xDC00);
            ++i;
        } else if (isHighSurrogate(cp) || isLowSurrogate(cp)) {
            cp = 0xFFFD;
        }
        shown.addCodePoint(cp);
    }
    return std::move(shown).take(limit);
}

}  // namespace tessapak::archive
