#include "archive/names.h"

#include <algorithm>
#include <type_traits>

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

constexpr bool kWideHost = std::is_same_v<std::filesystem::path::value_type, wchar_t>;

// Windows' own upper-casing for the scripts skin makers use: ASCII, Latin-1,
// Latin Extended-A, Greek, Cyrillic and the full-width Latin letters.
char16_t foldCase(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= 0x00E0 && c <= 0x00FE && c != 0x00F7) ||
        (c >= 0x03B1 && c <= 0x03CB && c != 0x03C2) || (c >= 0x0430 && c <= 0x044F) ||
        (c >= 0xFF41 && c <= 0xFF5A)) {
        return static_cast<char16_t>(c - 0x20);
    }
    if (c >= 0x0450 && c <= 0x045F) {
        return static_cast<char16_t>(c - 0x50);
    }
    if ((c >= 0x0100 && c <= 0x0137) || (c >= 0x014A && c <= 0x0177)) {
        return static_cast<char16_t>(c & ~1);  // upper case on even code points
    }
    if ((c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E)) {
        return static_cast<char16_t>((c & 1) != 0 ? c : c - 1);  // upper case on odd ones
    }
    switch (c) {
        case 0x00FF:
            return 0x0178;
        case 0x03C2:
            return 0x03A3;
        case 0x03AC:
            return 0x0386;
        case 0x03AD:
        case 0x03AE:
        case 0x03AF:
            return static_cast<char16_t>(c - 0x25);
        case 0x03CC:
            return 0x038C;
        case 0x03CD:
        case 0x03CE:
            return static_cast<char16_t>(c - 0x3F);
        default:
            return c;
    }
}

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](auto x, auto y) {
               return foldCase(x) == foldCase(y);
           });
}

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
bool toNative(const std::u16string& storedName, Native& native) {
    if constexpr (std::is_same_v<typename Native::value_type, wchar_t>) {
        native.assign(storedName.begin(), storedName.end());
        return true;
    } else {
        if (!convertUtf16(storedName, native, false)) {
            return false;
        }
        std::replace(native.begin(), native.end(), '\\', '/');
        return true;
    }
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

namespace {
constexpr std::uint32_t kNoParent = 0xFFFFFFFF;
constexpr std::uint32_t kEmptySlot = 0xFFFFFFFF;
}  // namespace

NameClashFinder::NameClashFinder(NameRules rules)
    : rules_(rules), slots_(64, Slot{kEmptySlot, 0}), lastFolder_(kNoParent) {}

std::uint32_t NameClashFinder::hashOf(std::uint32_t parent, std::u16string_view spelling) const {
    // FNV-1a over the parent and the folded units.
    std::uint64_t hash = 0xcbf29ce484222325ULL ^ parent;
    for (char16_t unit : spelling) {
        if (rules_ == NameRules::Windows) {
            unit = foldCase(unit);
        }
        hash = (hash ^ unit) * 0x100000001b3ULL;
    }
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

bool NameClashFinder::sameSibling(std::uint32_t a, std::uint32_t b) const {
    if (nodes_[a].parent != nodes_[b].parent) {
        return false;
    }
    const std::u16string_view x = spellingOf(a);
    const std::u16string_view y = spellingOf(b);
    return rules_ == NameRules::Windows ? equalsIgnoringCase(x, y) : x == y;
}

std::uint32_t NameClashFinder::findOrInsert(std::uint32_t node, std::uint32_t hash) {
    if (2 * nodes_.size() > slots_.size()) {
        grow();
    }
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        Slot& slot = slots_[at];
        if (slot.node == kEmptySlot) {
            slot = {node, hash};
            return node;
        }
        if (slot.hash == hash && sameSibling(slot.node, node)) {
            return slot.node;
        }
    }
}

void NameClashFinder::grow() {
    std::vector<Slot> old(2 * slots_.size(), Slot{kEmptySlot, 0});
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.node == kEmptySlot) {
            continue;
        }
        std::size_t at = slot.hash & mask;
        while (slots_[at].node != kEmptySlot) {
            at = (at + 1) & mask;
        }
        slots_[at] = slot;
    }
}

std::u16string_view NameClashFinder::spellingOf(std::uint32_t node) const {
    return std::u16string_view(spellings_).substr(nodes_[node].start, nodes_[node].length);
}

std::string NameClashFinder::add(const std::u16string& name) {
    std::uint32_t parent = kNoParent;
    std::size_t start = 0;
    // Names of one folder mostly come one after another; their folder was
    // judged with the first of them.
    const std::size_t cut = name.rfind(kStoredSeparator);
    if (cut != std::u16string::npos && lastFolder_ != kNoParent &&
        std::u16string_view(name).substr(0, cut) == lastFolderName_) {
        parent = lastFolder_;
        start = cut + 1;
    }
    while (true) {
        std::size_t end = name.find(kStoredSeparator, start);
        const bool isFile = end == std::u16string::npos;
        if (isFile) {
            end = name.size();
        }
        const std::u16string_view component(name.data() + start, end - start);
        // The component goes in as a new node, which leaves again when a
        // sibling of its name is there already. An archive holds under 2^31
        // bytes of names, so node numbers and lengths fit 32 bits.
        const auto candidate = static_cast<std::uint32_t>(nodes_.size());
        nodes_.push_back({static_cast<std::uint32_t>(spellings_.size()), parent,
                          static_cast<std::uint32_t>(component.size()), isFile ? 1u : 0u});
        spellings_ += component;
        const std::uint32_t found = findOrInsert(candidate, hashOf(parent, component));
        if (found != candidate) {
            nodes_.pop_back();
            spellings_.resize(spellings_.size() - component.size());
            const Node& node = nodes_[found];
            if (spellingOf(found) != component) {
                return "the name differs only in letter case from \"" + displayName(pathOf(found)) +
                       "\", and Windows cannot hold both";
            }
            if ((node.isFile != 0) != isFile) {
                return "the name is used for a file and for a folder";
            }
        }
        if (isFile) {
            if (cut != std::u16string::npos && lastFolder_ != parent) {
                lastFolder_ = parent;
                lastFolderName_.assign(name, 0, cut);
            }
            return {};
        }
        parent = found;
        start = end + 1;
    }
}

std::u16string NameClashFinder::pathOf(std::uint32_t node) const {
    std::vector<std::uint32_t> chain;
    for (std::uint32_t at = node; at != kNoParent; at = nodes_[at].parent) {
        chain.push_back(at);
    }
    std::u16string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty()) {
            path.push_back(kStoredSeparator);
        }
        path += spellingOf(*it);
    }
    return path;
}

bool isWindowsDeviceName(const std::filesystem::path& path) {
    const std::optional<std::u16string> name = utf8ToUtf16(utf8Of(path.filename()));
    return name && !name->empty() && isDeviceName(*name);
}

std::filesystem::path pathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8Of(const std::filesystem::path& path) {
    return toUtf8(path.native());
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
