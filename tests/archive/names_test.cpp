// Stored names against host paths: which names an unpacker refuses, which
// host names a packer cannot store, and the strict UTF-8 conversion.

#include <gtest/gtest.h>

#include "archive/display_text.h"
#include "archive/format/name_clash.h"
#include "archive/format/names.h"

namespace tessapak::archive {
namespace {

namespace fs = std::filesystem;

struct UnsafeCase {
    const char* what;
    std::u16string name;
};

TEST(UnsafeNames, EveryKindOfUnsafeNameIsRefused) {
    const std::vector<UnsafeCase> cases = {
        {"empty", u""},
        {"leading backslash", u"\\etc\\passwd"},
        {"drive", u"C:\\Windows\\x.dll"},
        {"drive without separator", u"c:x.txt"},
        {"colon inside", u"img\\a:stream"},
        {"parent component", u"..\\outside.txt"},
        {"parent component inside", u"img\\..\\..\\outside.txt"},
        {"current component", u"img\\.\\a.txt"},
        {"a lone dot-dot", u".."},
        {"empty component", u"img\\\\a.txt"},
        {"trailing separator", u"img\\"},
        {"control character", u"a\u0001b.txt"},
        {"newline", u"a\nb.txt"},
        {"delete character", u"a\u007Fb.txt"},
        {"host separator", u"img/../../x"},
        {"slash alone", u"a/b"},
        {"lone high surrogate", std::u16string{u'a', 0xD800, u'b'}},
        {"lone low surrogate", std::u16string{0xDC00, u'b'}},
        {"high surrogate at the end", std::u16string{u'a', 0xDBFF}},
        {"surrogates in the wrong order", std::u16string{0xDC00, 0xD800}},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(unsafeNameReason(c.name).empty()) << c.what;
        EXPECT_FALSE(hostPathFor(c.name).has_value()) << c.what;
    }
}

TEST(UnsafeNames, OrdinaryNamesArePassedAndMappedToHostPaths) {
    EXPECT_EQ(unsafeNameReason(u"a.txt"), "");
    EXPECT_EQ(hostPathFor(u"a.txt"), fs::path("a.txt"));
    EXPECT_EQ(hostPathFor(u"img\\hover\\c.png"), fs::path("img/hover/c.png"));
    EXPECT_EQ(hostPathFor(u".hidden"), fs::path(".hidden"));
    EXPECT_EQ(hostPathFor(u"皮肤\\按钮.png"), fs::path(u8"皮肤/按钮.png"));
    EXPECT_EQ(hostPathFor(std::u16string{0xD83D, 0xDE00}), fs::path(u8"\U0001F600"));
    if (hostNameRules() == NameRules::Posix) {
        EXPECT_EQ(hostPathFor(u"...\\a..b"), fs::path(".../a..b"));
    }
}

TEST(StoredNames, HostPathsBecomeBackslashSeparatedUtf16) {
    EXPECT_EQ(storedNameFor(fs::path("img/hover/c.png")), std::u16string(u"img\\hover\\c.png"));
    EXPECT_EQ(storedNameFor(fs::path(u8"皮肤.png")), std::u16string(u"皮肤.png"));
}

TEST(StoredNames, NamesTheFormatCannotHoldAreRefusedWithAReason) {
    if (hostNameRules() == NameRules::Posix) {  // Windows names are UTF-16, "\\" a separator
        EXPECT_FALSE(storedNameFor(fs::path("a\\b.txt")).has_value());
        EXPECT_NE(unstorableNameReason(fs::path("img/a\\b.txt")).find("\\"), std::string::npos);
        EXPECT_FALSE(storedNameFor(fs::path("bad\xFF.png")).has_value());
        EXPECT_NE(unstorableNameReason(fs::path("bad\xFF.png")).find("UTF-8"), std::string::npos);
    }
    // Stored, these would be refused by every careful unpacker.
    EXPECT_FALSE(storedNameFor(fs::path("a:b.txt")).has_value());
    EXPECT_FALSE(storedNameFor(fs::path("tab\there")).has_value());
    EXPECT_FALSE(storedNameFor(fs::path("../x")).has_value());
}

TEST(WindowsNames, WhatWindowsCannotHoldOrWouldAlterIsRefusedUnderItsRulesOnly) {
    const std::vector<UnsafeCase> refused = {
        {"device", u"CON"},
        {"device with extension, any case", u"img\\nul.png"},
        {"device before a blank and extension", u"aux .txt"},
        {"numbered device", u"com1.log"},
        {"numbered device, last digit", u"LPT9"},
        {"numbered device, digit zero", u"Com0"},
        {"superscript digit", u"LPT\u00B9.txt"},
        {"console device", u"conin$.dat"},
        {"console output device", u"img\\CONOUT$"},
        {"trailing dot", u"readme."},
        {"trailing dot on a folder", u"img.\\a.png"},
        {"trailing space", u"a.png "},
        {"less than", u"a<b"},
        {"greater than", u"a>b"},
        {"double quote", u"a\"b"},
        {"bar", u"a|b"},
        {"question mark", u"a?b"},
        {"star", u"img\\*.png"},
    };
    for (const auto& c : refused) {
        EXPECT_FALSE(unsafeNameReason(c.name, NameRules::Windows).empty()) << c.what;
        EXPECT_EQ(unsafeNameReason(c.name, NameRules::Posix), "") << c.what;
    }
    for (const std::u16string name :
         {u"CONSOLE.txt", u"com10", u"LPT", u"xnul", u"con_", u".hidden", u"a.b", u"COM1x"}) {
        EXPECT_EQ(unsafeNameReason(name, NameRules::Windows), "") << displayName(name);
    }
    // A packer refuses them on every host, so that every archive unpacks on Windows.
    EXPECT_FALSE(storedNameFor(fs::path("CON.png")).has_value());
    EXPECT_NE(unstorableNameReason(fs::path("a?b")).find("Windows"), std::string::npos);
}

struct ClashCase {
    std::vector<std::u16string> names;
    bool clashesOnWindows;
    bool clashesOnPosix;
};

TEST(NameClashes, NamesThatOneFolderCannotHoldSideBySideAreFound) {
    const std::vector<ClashCase> cases = {
        {{u"A.txt", u"a.txt"}, true, false},
        {{u"img\\a.png", u"IMG\\b.png"}, true, false},
        {{u"a", u"A\\b"}, true, false},
        {{u"\u00C4b\\x", u"\u00E4B\\y"}, true, false},  // Latin-1
        {{u"\uFF21", u"\uFF41"}, true, false},          // full-width A and a
        {{u"\u0416.png", u"\u0436.png"}, true, false},  // Cyrillic
        // Windows upper-cases the whole Basic Multilingual Plane.
        {{u"m\u01CE.png", u"M\u01CD.png"}, true, false},  // pinyin tone letters
        {{u"\u1EA1.png", u"\u1EA0.png"}, true, false},    // Vietnamese
        {{u"\u0491.png", u"\u0490.png"}, true, false},    // Ukrainian
        {{u"\u04D9.png", u"\u04D8.png"}, true, false},    // Kazakh
        {{u"\u0561.png", u"\u0531.png"}, true, false},    // Armenian
        {{u"\u2170.png", u"\u2160.png"}, true, false},    // Roman numerals
        {{u"\u24D0.png", u"\u24B6.png"}, true, false},    // circled letters
        {{u"\u1F00.png", u"\u1F08.png"}, true, false},    // polytonic Greek
        // But only a letter and its own capital: dotless i, long s and final
        // sigma keep their names beside I, S and sigma; nothing past U+FFFF folds.
        {{u"\u0131.png", u"\u0130.png", u"I.png", u"i.png"}, true, false},
        {{u"\u0131.png", u"\u0130.png", u"I.png"}, false, false},
        {{u"\u017F", u"S", u"\u03C2", u"\u03A3", u"\U00010428", u"\U00010400"}, false, false},
        {{u"皮肤\\a", u"皮肤\\A"}, true, false},
        {{u"a", u"a\\b"}, true, true},
        {{u"a\\b", u"a"}, true, true},
        {{u"a.txt", u"a.txt"}, false, false},  // the later entry wins
        {{u"img\\a.png", u"img\\b.png", u"imga.png"}, false, false},
        {{u"皮肤\\a", u"皮\\a"}, false, false},
        // Names of one folder in a row, then the folder again as a file.
        {{u"img\\a.png", u"img\\b.png", u"img\\B.png"}, true, false},
        {{u"img\\a.png", u"img\\b.png", u"img"}, true, true},
        {{u"img\\a.png", u"img\\a.png\\x"}, true, true},
        // Below a deep name that other names branch off.
        {{u"a\\b\\c\\d.png", u"a\\b\\C\\e.png"}, true, false},
        {{u"a\\b\\c\\d.png", u"a\\b\\x.png", u"a\\b\\c\\d.png", u"a\\B"}, true, false},
        {{u"a\\b\\c\\d.png", u"a\\b\\x.png", u"a\\b\\c"}, true, true},
        {{u"a\\b\\c\\d.png", u"a\\b"}, true, true},
        {{u"a\\b\\c", u"a\\b\\c\\d"}, true, true},
        {{u"a\\b\\c\\d.png", u"a\\b\\x.png", u"a\\b\\c\\e.png", u"a\\y"}, false, false},
    };
    for (const auto& c : cases) {
        for (const NameRules rules : {NameRules::Windows, NameRules::Posix}) {
            NameClashFinder finder(rules);
            std::string reason;
            for (const auto& name : c.names) {
                if (reason.empty()) {
                    reason = finder.add(name);
                }
            }
            const bool expected =
                rules == NameRules::Windows ? c.clashesOnWindows : c.clashesOnPosix;
            EXPECT_EQ(!reason.empty(), expected)
                << displayName(c.names[0]) << " then " << displayName(c.names[1])
                << (rules == NameRules::Windows ? " (Windows)" : " (POSIX)") << ": " << reason;
        }
    }
    // Enough names that the finder's table grows several times over.
    for (const NameRules rules : {NameRules::Windows, NameRules::Posix}) {
        NameClashFinder many(rules);
        for (int i = 0; i < 5000; ++i) {
            // Appended piece by piece: "d" + std::string makes GCC 12 at -O3
            // warn falsely (-Wrestrict).
            std::string name = "d";
            name += std::to_string(i % 7);
            name += "\\f";
            name += std::to_string(i);
            ASSERT_EQ(many.add(std::u16string(name.begin(), name.end())), "") << name;
        }
        EXPECT_EQ(many.add(u"D3\\F10").empty(), rules == NameRules::Posix);
        EXPECT_NE(many.add(u"d3\\f10\\x"), "");
    }
    NameClashFinder finder(NameRules::Windows);
    EXPECT_EQ(finder.add(u"Img\\a.png"), "");
    EXPECT_NE(finder.add(u"img\\b.png").find("\"Img\""), std::string::npos)
        << "the message names the earlier spelling";
    EXPECT_EQ(finder.add(u"Img\\Sub\\Deep\\a.png"), "");
    EXPECT_NE(finder.add(u"Img\\sub\\b.png").find("\"Img/Sub\""), std::string::npos);
}

TEST(Utf8, MalformedSequencesAreRejected) {
    const std::vector<std::string> bad = {
        "\x80",              // continuation byte alone
        "\xC0\xAF",          // overlong "/"
        "\xE0\x80\xAF",      // overlong "/"
        "\xF0\x80\x80\xAF",  // overlong "/"
        "\xED\xA0\x80",      // encoded surrogate U+D800
        "\xF4\x90\x80\x80",  // past U+10FFFF
        "\xF5\x80\x80\x80",  // no such lead byte
        "\xE7\x9A",          // cut off
        "\xE7\x9A\x41",      // continuation replaced by ASCII
    };
    for (const auto& s : bad) {
        EXPECT_FALSE(utf8ToUtf16(s).has_value()) << ::testing::PrintToString(s);
    }
}

TEST(Utf8, EveryLengthOfSequenceConvertsBothWays) {
    const std::string text = "a\xC2\xA9\xE7\x9A\xAE\xF0\x9F\x98\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF";
    const auto units = utf8ToUtf16(text);
    ASSERT_TRUE(units.has_value());
    EXPECT_EQ(*units,
              (std::u16string{u'a', 0x00A9, 0x76AE, 0xD83D, 0xDE00, 0xFFFF, 0xDBFF, 0xDFFF}));
    EXPECT_EQ(utf16ToUtf8(*units), text);
    EXPECT_FALSE(utf16ToUtf8(std::u16string{0xD800}).has_value());
}

TEST(DisplayNames, ShowSlashesAndReplaceWhatCannotBeShown) {
    EXPECT_EQ(displayName(u"img\\hover\\c.png"), "img/hover/c.png");
    EXPECT_EQ(displayName(std::u16string{u'a', 0xD800}), "a\xEF\xBF\xBD");
}

}  // namespace
}  // namespace tessapak::archive
