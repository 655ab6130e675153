// Stored names against host paths: which names an unpacker refuses, which
// host names a packer cannot store, and the strict UTF-8 conversion.

#include <gtest/gtest.h>

#include "archive/names.h"

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
