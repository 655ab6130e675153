// list and verify, and the damaged or hostile archives that every reading
// command must refuse without writing anything.
#include <gtest/gtest.h>

#include "cli_runner.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace tessapak::cli::test {
namespace {

class CliReading : public ::testing::Test {
  protected:
    const fs::path& work() const { return work_; }

  private:
    TempFolder temp_;
    fs::path work_ = temp_.subfolder("work");
};

TEST_F(CliReading, ListPrintsSizeTabAndNameWithSlashesPerEntry) {
    auto archive = exampleArchive();
    archive.entries.push_back({u"img\\hover\\empty.png", ""});
    writeFile(work() / "blue.rdb", archive.bytes());
    const auto result = runCli({"list", "blue.rdb"}, work());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "3\ta.txt\n2\timg/b.png\n0\timg/hover/empty.png\n");
    EXPECT_EQ(result.err, "");
}

TEST_F(CliReading, ListShowsNonAsciiNamesAsUtf8) {
    RawArchive archive;
    archive.entries = {{u"皮肤\\按钮.png", "12345"}, {u"emoji\\\U0001F3A8.bmp", "x"}};
    writeFile(work() / "cn.rdb", archive.bytes());
    const auto result = runCli({"list", "cn.rdb"}, work());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "5\t皮肤/按钮.png\n1\temoji/\U0001F3A8.bmp\n");
}

TEST_F(CliReading, ListOfAnEmptyArchivePrintsNothing) {
    writeFile(work() / "empty.rdb", RawArchive{}.bytes());
    const auto result = runCli({"list", "empty.rdb"}, work());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
}

TEST_F(CliReading, VerifySummarisesAGoodArchiveAndWritesNothing) {
    writeFile(work() / "blue.rdb", exampleArchive().bytes());
    const auto before = snapshot(work());
    const auto result = runCli({"verify", "blue.rdb"}, work());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("blue.rdb"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("2 entries"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("5 bytes"), std::string::npos) << result.out;
    EXPECT_EQ(snapshot(work()), before);

    const auto quiet = runCli({"verify", "-q", "blue.rdb"}, work());
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(quiet.err, "");
}

TEST_F(CliReading, VerifyAcceptsWhatPackWrites) {
    writeFile(work() / "skin" / "皮肤.png", std::string(70000, '\x7f'));
    writeFile(work() / "skin" / "sub" / "b", "b");
    ASSERT_EQ(runCli({"pack", "-q", "skin"}, work()).status, 0);
    const auto result = runCli({"verify", "skin.rdb"}, work());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("70001 bytes"), std::string::npos) << result.out;
}

// Bytes a terminal would act on: C0, DEL and the UTF-8 forms of C1, of the
// bidi controls and of the line and paragraph separators.
bool holdsRawControls(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        const auto third = i + 2 < text.size() ? static_cast<unsigned char>(text[i + 2]) : 0;
        if ((b < 0x20 && b != '\t' && b != '\n') || b == 0x7F || (b == 0xC2 && next < 0xA0) ||
            (b == 0xE2 && next == 0x80 && third >= 0xA8 && third <= 0xAE) ||
            (b == 0xE2 && next == 0x81 && third >= 0xA6 && third <= 0xA9)) {
            return true;
        }
    }
    return false;
}

TEST_F(CliReading, HostileNamesNeverReachTheTerminalRaw) {
    RawArchive archive;
    archive.entries = {
        {u"csi\\\u009b2J\u0085next.png", "1"},
        {u"photo\u202egnp.exe", "22"},
        {u"line\u2028break\u2029.png", "333"},
        {u"ok.png", ""},
    };
    writeFile(work() / "hostile.rdb", archive.bytes());
    const auto list = runCli({"list", "hostile.rdb"}, work());
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out,
              "1\tcsi/\\u009b2J\\u0085next.png\n2\tphoto\\u202egnp.exe\n"
              "3\tline\\u2028break\\u2029.png\n0\tok.png\n");
    EXPECT_FALSE(holdsRawControls(list.out));

    // A refused name is shown escaped and cut, so the error stays one line.
    RawArchive refused;
    refused.entries = {{u"title\x1b]0;pwned\a" + std::u16string(32000, u'a'), "x"}};
    writeFile(work() / "refused.rdb", refused.bytes());
    const auto error = runCli({"verify", "refused.rdb"}, work());
    EXPECT_EQ(error.status, 1);
    EXPECT_TRUE(error.oneErrorLine()) << error.err;
    EXPECT_FALSE(holdsRawControls(error.err)) << error.err;
    EXPECT_NE(error.err.find("title\\x1b]0;pwned\\x07"), std::string::npos) << error.err;
    EXPECT_LT(error.err.size(), 400u) << error.err;
}

struct Damage {
    const char* what;
    std::string bytes;
};

std::vector<Damage> damagedArchives() {
    const std::string good = exampleArchive().bytes();
    std::vector<Damage> damages;
    auto withName = [](std::u16string name) {
        RawArchive archive;
        archive.entries = {{u"fine.txt", "ok"}, {std::move(name), "evil"}};
        return archive.bytes();
    };
    auto withHeader = [](std::optional<std::int32_t> count, std::optional<std::int32_t> dirSize) {
        auto archive = exampleArchive();
        archive.entryCount = count;
        archive.dirSize = dirSize;
        return archive.bytes();
    };
    auto magic = exampleArchive();
    magic.magic = "531E98204F8542F1";
    damages.push_back({"bad magic", magic.bytes()});
    damages.push_back({"empty file", ""});
    damages.push_back({"magic only", good.substr(0, 16)});
    damages.push_back({"header cut short", good.substr(0, 30)});
    damages.push_back({"directory cut short", good.substr(0, 70)});
    damages.push_back({"data cut short", good.substr(0, good.size() - 1)});
    damages.push_back({"more entries than the file holds", withHeader(3, std::nullopt)});
    damages.push_back({"negative entry count", withHeader(-1, std::nullopt)});
    damages.push_back({"directory size past the end", withHeader(std::nullopt, 0x7FFFFFF0)});
    damages.push_back({"parent folder component", withName(u"..\\evil.txt")});
    damages.push_back({"nested parent component", withName(u"img\\..\\..\\evil.txt")});
    damages.push_back({"leading backslash", withName(u"\\evil.txt")});
    damages.push_back({"drive", withName(u"C:evil.txt")});
    damages.push_back({"empty component", withName(u"img\\\\evil.txt")});
    damages.push_back({"slash inside a name", withName(u"img/../../evil.txt")});
    damages.push_back({"control character", withName(u"evil\x01.txt")});
    damages.push_back({"unpaired surrogate", withName(std::u16string(u"evil") + char16_t(0xD800))});
    damages.push_back({"empty name", withName(u"")});
    return damages;
}

TEST(CliDamagedArchive, EveryReadingCommandRefusesItWithOneLineAndWritesNothing) {
    for (const auto& damage : damagedArchives()) {
        TempFolder temp;
        const std::filesystem::path work = temp.subfolder("work");
        writeFile(work / "skins" / "bad.rdb", damage.bytes);
        const auto before = snapshot(work);
        for (const char* command : {"unpack", "list", "verify"}) {
            const auto result = runCli({command, "skins/bad.rdb"}, work);
            const std::string context =
                std::string(damage.what) + ", " + command + ": " + result.err;
            EXPECT_EQ(result.status, 1) << context;
            EXPECT_TRUE(result.oneErrorLine()) << context;
            EXPECT_EQ(result.err.rfind("tessapak-cli: skins/bad.rdb: ", 0), 0u) << context;
            EXPECT_EQ(result.out, "") << context;
            EXPECT_EQ(snapshot(work), before) << context;
        }
    }
}

TEST_F(CliReading, BadMagicIsReportedAsNotAnArchive) {
    writeFile(work() / "photo.rdb", std::string("\x89PNG\r\n\x1a\n") + std::string(64, '\0'));
    const auto result = runCli({"list", "photo.rdb"}, work());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.rfind("tessapak-cli: photo.rdb: ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find("not an RDB archive"), std::string::npos) << result.err;
}

TEST_F(CliReading, MissingArchiveFailsAndIsNotCreated) {
    for (const char* command : {"list", "verify"}) {
        const auto result = runCli({command, "missing.rdb"}, work());
        EXPECT_EQ(result.status, 1) << command;
        EXPECT_TRUE(result.oneErrorLine()) << result.err;
        EXPECT_NE(result.err.find("missing.rdb"), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(work() / "missing.rdb"));
    }
}

}  // namespace
}  // namespace tessapak::cli::test
