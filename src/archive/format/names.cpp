#include "archive/format/names.h"

#include <algorithm>
#include <type_traits>

#include "archive/format/letter_case.h"
#include "archive/utf.h"

namespace tessapak::archive {

namespace {

bool isAsciiLetter(char16_t unit) {
    return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z');
}

constexpr bool kWideHost = std::is_same_v<std::filesystem::path::value_type, wchar_t>;

// Devices that Windows finds in any folder, whatever follows a "." after them.
bool isDeviceName(std::u16string_view component) {
    std::u16string_view base = component.substr(0, component.find(u'.'));
    while (!base.empty() && base.back() == u' ') {
        base.remove_suffix(1);
    }
    for (const std::u16string_view device :
         {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"}) {
        if (equalsIgnoringCase(base, device)) {
            return true;
        }
    }
    if (base.size() == 4 && (equalsIgnoringCase(base.substr(0, 3), u"COM") ||
                             equalsIgnoringCase(base.substr(0, 3), u"LPT"))) {
        const char16_t digit = base[3];
        // Superscript one, two and three count as digits here too.
        return (digit >= u'0' && digit <= u'9') || digit == 0x00B9 || digit == 0x00B2 ||
               digit == 0x00B3;
    }
    return false;
}

bool isForbiddenOnWindows(char16_t unit) {
    switch (unit) {
        case u'<':
        case u'>':
        case u'"':
        case u'|':
        case u'?':
        case u'*':
            return true;
        default:
            return false;
    }
}

std::string windowsComponentReason(std::u16string_view component) {
    if (component.back() == u'.' || component.back() == u' ') {
        return "a folder or file name ends in a dot or a space, which Windows drops";
    }
    if (isDeviceName(component)) {
        return "a folder or file name is a Windows device name";
    }
    return {};
}

// The stored units of a relative host path, or why it has none. A template,
// so that only the branch of this host's string type is compiled.
template <typename Native>
std::string unitsOf(const Native& native, std::u16string& result) {
    if constexpr (std::is_same_v<typename Native::value_type, wchar_t>) {
        // Either separator; the units themselves are stored as they are.
        for (const auto unit : native) {
            result.push_back(unit == L'/' ? kStoredSeparator : static_cast<char16_t>(unit));
        }
        return {};
    } else {
        std::size_t start = 0;
        while (true) {
            const std::size_t slash = native.find('/', start);
            const std::string_view component = std::string_view(native).substr(
                start, slash == Native::npos ? Native::npos : slash - start);
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
            if (slash == Native::npos) {
                return {};
            }
            start = slash + 1;
        }
    }
}

template <typename Native>
bool toNative(std::u16string_view storedName, Native& native) {
    if constexpr (std::is_same_v<typename Native::value_type, wchar_t>) {
        native.assign(storedName.begin(), storedName.end());
        return true;
    } else {
        if (!utf16ToUtf8(storedName, native)) {
            return false;
        }
        std::replace(native.begin(), native.end(), '\\', '/');
        return true;
    }
}

std::string storableReason(const std::filesystem::path& relative, std::u16string* stored) {
    std::u16string result;
    if (std::string reason = unitsOf(relative.native(), result); !reason.empty()) {
        return reason;
    }
    std::string unsafe = unsafeNameReason(result, NameRules::Windows);
    if (!unsafe.empty()) {
        return unsafe;
    }
    if (stored) {
        *stored = std::move(result);
    }
    return {};
}

}  // namespace

std::string unsafeNameReason(const std::u16string& name, NameRules rules) {
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
        if (rules == NameRules::Windows && isForbiddenOnWindows(unit)) {
            return "the name contains one of < > \" | ? *, which Windows does not allow";
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
        if (rules == NameRules::Windows) {
            std::string reason = windowsComponentReason(component);
            if (!reason.empty()) {
                return reason;
            }
        }
        if (end == name.size()) {
            break;
        }
        start = end + 1;
    }
    return {};
}

NameRules hostNameRules() {
    return kWideHost ? NameRules::Windows : NameRules::Posix;
}

std::optional<std::filesystem::path> hostPathFor(const std::u16string& storedName) {
    if (!unsafeNameReason(storedName).empty()) {
        return std::nullopt;
    }
    std::filesystem::path::string_type native;
    if (!toNative(storedName, native)) {
        return std::nullopt;
    }
    return std::filesystem::path(std::move(native));
}

bool hostFormOfJudged(std::u16string_view storedName, std::filesystem::path::string_type& native) {
    native.clear();
    return toNative(storedName, native);
}

std::size_t longestHostComponent(std::u16string_view storedName) {
    std::size_t longest = 0;
    std::size_t length = 0;
    for (const char16_t unit : storedName) {
        if (unit == kStoredSeparator) {
            length = 0;
            continue;
        }
        // In UTF-8 a surrogate pair takes four bytes, two for each unit.
        length += kWideHost || unit < 0x80                                        ? 1
                  : unit < 0x800 || isHighSurrogate(unit) || isLowSurrogate(unit) ? 2
                                                                                  : 3;
        longest = std::max(longest, length);
    }
    return longest;
}

bool isWindowsDeviceName(const std::filesystem::path& path) {
    const std::optional<std::u16string> name = utf8ToUtf16(utf8Of(path.filename()));
    return name && !name->empty() && isDeviceName(*name);
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

bool walkOrderBefore(std::u16string_view a, std::u16string_view b) {
    const auto up = [](char16_t c) {
        return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
    };
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (up(a[i]) != up(b[i])) {
            return up(a[i]) < up(b[i]);
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

}  // namespace tessapak::archive
