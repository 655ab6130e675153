// Names and paths as a person sees them: nothing in a hostile name may act on
// a terminal, hide itself, or stretch one message past a readable line.

#include <gtest/gtest.h>

#include <functional>

#include "archive/display_text.h"
#include "archive/format/names.h"

namespace tessapak::archive {
namespace {

namespace fs = std::filesystem;

constexpr bool kWindowsPaths = fs::path::preferred_separator == '\\';

struct Shown {
    const char* what;
    std::function<std::string()> show;
    std::string expected;
};

std::size_t characters(const std::string& utf8) {
    std::size_t count = 0;
    for (const char c : utf8) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    return count;
}

TEST(DisplayText, HostileCharactersShowAsEscapesAndLongNamesAreCutInTheMiddle) {
    const std::u16string longName = u"head\\" + std::u16string(400, u'a') + u"\\tail.png";
    const std::u16string deep = [] {
        std::u16string name = u"a";
        for (int i = 0; i < 16000; ++i) {
            name += u"\\a";
        }
        return name;
    }();
    const std::vector<Shown> cases = {
        {"ordinary names are left alone", [] { return displayName(u"皮肤\\按钮 1.png"); },
         "皮肤/按钮 1.png"},
        {"C0 controls and DEL", [] { return displayName(u"a\x1b]0;x\a\t\x7f.png"); },
         "a\\x1b]0;x\\x07\\x09\\x7f.png"},
        {"C1 controls", [] { return displayName(u"a\u009b2J\u0085.png"); },
         "a\\u009b2J\\u0085.png"},
        {"bidi override and isolates",
         [] { return displayName(u"photo\u202egnp.exe\u2066\u2069\u200e"); },
         "photo\\u202egnp.exe\\u2066\\u2069\\u200e"},
        {"invisible and line-breaking format characters",
         [] { return displayName(u"a\u200b\u2028\ufeff\U000E0041.png"); },
         "a\\u200b\\u2028\\ufeff\\U000e0041.png"},
        {"an unpaired surrogate",
         [] {
             return displayName(std::u16string{u'a', 0xD800});
         },
         "a\xEF\xBF\xBD"},
        // Hosts differ in what a path can hold that is not text: bytes that
        // are not UTF-8 and a "\" inside a name on POSIX, a lone surrogate
        // on Windows, where "\" only separates.
        kWindowsPaths
            ? Shown{"a host path: a lone surrogate, separators",
                    [] {
                        return displayPath(fs::path(std::wstring(L"C:\\skins\\a\xD800\x1b.rdb")));
                    },
                    "C:\\skins\\a\xEF\xBF\xBD\\x1b.rdb"}
            : Shown{"a host path: bytes that are not UTF-8, a literal backslash",
                    [] { return displayPath(fs::path("/skins/a\\b\xff\x1b.rdb")); },
                    "/skins/a\\\\b\\xff\\x1b.rdb"},
        {"a whole message keeps its escapes and backslashes",
         [] { return displayLine("x: entry 2 (a\\x1b): bad \xe2\x80\xae\x1b"); },
         "x: entry 2 (a\\x1b): bad \\u202e\\x1b"},
        {"a long name keeps its beginning and its end", [&] { return displayName(longName); },
         "head/" + std::string(94, 'a') + "\u2026" + std::string(91, 'a') + "/tail.png"},
        {"the cut never splits an escape",
         [] { return displayName(std::u16string(300, u'\x1b'), 9); }, "\\x1b\u2026\\x1b"},
        {"a listing shows the whole name",
         [&] { return displayName(deep, kNoDisplayLimit).substr(0, 6); }, "a/a/a/"},
    };
    for (const auto& c : cases) {
        const std::string shown = c.show();
        EXPECT_EQ(shown, c.expected) << c.what;
        EXPECT_LE(characters(shown), kDisplayLimit) << c.what;
    }
    EXPECT_EQ(characters(displayName(deep)), kDisplayLimit);
    EXPECT_EQ(displayName(deep, kNoDisplayLimit).size(), deep.size());
}

}  // namespace
}  // namespace tessapak::archive
