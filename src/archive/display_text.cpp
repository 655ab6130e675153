#include "archive/display_text.h"

#include <algorithm>
#include <cstdint>

#include "archive/utf.h"

namespace tessapak::archive {

namespace {

constexpr char16_t kStoredSeparator = u'\\';
constexpr std::string_view kEllipsis = "\u2026";

// Characters that draw nothing yet change how the text around them is shown
// or read: bidi controls above all, and the zero-width and separator
// characters that make two different names look alike or break a line.
bool isInvisibleFormat(char32_t cp) {
    return cp == 0x00AD || cp == 0x061C || cp == 0x180E || (cp >= 0x200B && cp <= 0x200F) ||
           (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2060 && cp <= 0x206F) || cp == 0xFEFF ||
           (cp >= 0xFFF9 && cp <= 0xFFFB) || (cp >= 0xE0000 && cp <= 0xE007F);
}

void appendHex(std::string& out, std::uint32_t value, int digits) {
    constexpr std::string_view kDigits = "0123456789abcdef";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        out.push_back(kDigits[(value >> shift) & 0xF]);
    }
}

// Appends the shown form of one character; returns its width in characters.
std::size_t appendShown(std::string& out, char32_t cp, bool escapeBackslash) {
    const std::size_t before = out.size();
    if (cp < 0x20 || cp == 0x7F) {
        out += "\\x";
        appendHex(out, cp, 2);
    } else if ((cp >= 0x80 && cp <= 0x9F) || isInvisibleFormat(cp)) {
        out += cp > 0xFFFF ? "\\U" : "\\u";
        appendHex(out, cp, cp > 0xFFFF ? 8 : 4);
    } else if (cp == U'\\' && escapeBackslash) {
        out += "\\\\";
    } else {
        appendUtf8(out, cp);
        return 1;
    }
    return out.size() - before;
}

void appendRawByte(std::string& out, unsigned char byte) {
    out += "\\x";
    appendHex(out, byte, 2);
}

}  // namespace

void DisplayBuilder::endPiece(std::size_t width) {
    width_ += width;
    byteEnds_.push_back(text_.size());
    widthEnds_.push_back(width_);
}

void DisplayBuilder::addCodePoint(char32_t codePoint) {
    endPiece(appendShown(text_, codePoint, true));
}

void DisplayBuilder::addRawByte(unsigned char byte) {
    appendRawByte(text_, byte);
    endPiece(4);
}

void DisplayBuilder::addLiteral(std::string_view text) {
    text_ += text;
    endPiece(1);
}

void DisplayBuilder::addUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t cp = 0;
        const std::size_t length = decodeUtf8(text, i, cp);
        if (length == 0) {
            addRawByte(static_cast<unsigned char>(text[i]));
            ++i;
        } else {
            addCodePoint(cp);
            i += length;
        }
    }
}

std::string DisplayBuilder::take(std::size_t limit) && {
    if (width_ <= limit) {
        return std::move(text_);
    }
    // The end usually names the file, so it gets the odd character.
    const std::size_t budget = limit > 0 ? limit - 1 : 0;
    const std::size_t headWidth = budget / 2;
    const std::size_t tailWidth = budget - headWidth;
    // Pieces [0, head) make the beginning, pieces [tail, n) the end.
    const auto head = static_cast<std::size_t>(
        std::upper_bound(widthEnds_.begin(), widthEnds_.end(), headWidth) - widthEnds_.begin());
    const auto tail = static_cast<std::size_t>(
        std::lower_bound(widthEnds_.begin(), widthEnds_.end(), width_ - tailWidth) -
        widthEnds_.begin());
    const std::size_t headBytes = head == 0 ? 0 : byteEnds_[head - 1];
    const std::size_t tailBytes = byteEnds_[tail];
    std::string out = text_.substr(0, headBytes);
    out += kEllipsis;
    out.append(text_, tailBytes, std::string::npos);
    return out;
}

std::string displayPath(const std::filesystem::path& path, std::size_t limit) {
    // Not u8string(): on Windows it throws on a lone surrogate, which a
    // message about that very name must survive.
    const std::string bytes = utf8Of(path);
    const std::string_view text(bytes);
    DisplayBuilder shown;
    if constexpr (std::filesystem::path::preferred_separator == '\\') {
        // There "\" separates folders; it is not part of a name.
        std::size_t start = 0;
        while (start <= text.size()) {
            const std::size_t end = std::min(text.find('\\', start), text.size());
            shown.addUtf8(text.substr(start, end - start));
            if (end < text.size()) {
                shown.addLiteral("\\");
            }
            start = end + 1;
        }
    } else {
        shown.addUtf8(text);
    }
    return std::move(shown).take(limit);
}

std::string displayLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t cp = 0;
        const std::size_t length = decodeUtf8(text, i, cp);
        if (length == 0) {
            appendRawByte(out, static_cast<unsigned char>(text[i]));
            ++i;
        } else {
            appendShown(out, cp, false);
            i += length;
        }
    }
    return out;
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
