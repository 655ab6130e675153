// tessapak-cli unpack: the new folder, its name, what is printed.
#include <gtest/gtest.h>

#include "cli_runner.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace tessapak::cli::test {
namespace {

class CliUnpack : public ::testing::Test {
  protected:
    const fs::path& work() const { return work_; }
    std::string absolute(const fs::path& relative) const {
        return (fs::canonical(work()) / relative).make_preferred().string();
    }

  private:
    TempFolder temp_;
    fs::path work_ = temp_.subfolder("work");
};

TEST_F(CliUnpack, WritesEveryFileAndPrintsTheNewFolderAsAnAbsolutePath) {
    writeFile(work() / "blue.rdb", exampleArchive().bytes());
    fs::create_directory(work() / "out");
    const auto result = runCli({"unpack", "blue.rdb", "out"}, work());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, absolute("out/blue") + "\n");
    EXPECT_EQ(result.err, "");
    const std::map<std::string, std::string> expected = {
        {"a.txt", "abc"}, {"img", "<dir>"}, {"img/b.png", "hi"}};
    EXPECT_EQ(snapshot(work() / "out" / "blue"), expected);
}

TEST_F(CliUnpack, TakenNamesGetTheNextNumberedSuffix) {
    writeFile(work() / "skins" / "blue.rdb", exampleArchive().bytes());
    fs::create_directory(work() / "out");
    const auto first = runCli({"unpack", "skins/blue.rdb", "out"}, work());
    const auto second = runCli({"unpack", "skins/blue.rdb", "out"}, work());
    // A plain file takes a name just as a folder does.
    writeFile(work() / "out" / "blue (2)", "");
    const auto third = runCli({"unpack", "skins/blue.rdb", "out"}, work());
    EXPECT_EQ(first.out, absolute("out/blue") + "\n");
    EXPECT_EQ(second.out, absolute("out/blue (1)") + "\n");
    EXPECT_EQ(third.out, absolute("out/blue (3)") + "\n");
    EXPECT_EQ(readFile(work() / "out" / "blue (3)" / "img" / "b.png"), "hi");
}

TEST_F(CliUnpack, DefaultsToTheFolderThatHoldsTheArchive) {
    writeFile(work() / "skins" / "blue.rdb", exampleArchive().bytes());
    const auto nested = runCli({"unpack", "skins/blue.rdb"}, work());
    ASSERT_EQ(nested.status, 0) << nested.err;
    EXPECT_EQ(nested.out, absolute("skins/blue") + "\n");
    EXPECT_EQ(readFile(work() / "skins" / "blue" / "a.txt"), "abc");

    // A bare file name means the current folder.
    const auto bare = runCli({"unpack", "blue.rdb"}, work() / "skins");
    ASSERT_EQ(bare.status, 0) << bare.err;
    EXPECT_EQ(bare.out, absolute("skins/blue (1)") + "\n");
}

TEST_F(CliUnpack, ArchiveNameWithoutDotOrOtherExtensionNamesTheFolder) {
    writeFile(work() / "skinpack", exampleArchive().bytes());
    writeFile(work() / "a.b.dat", exampleArchive().bytes());
    fs::create_directory(work() / "out");
    EXPECT_EQ(runCli({"unpack", "skinpack", "out"}, work()).out, absolute("out/skinpack") + "\n");
    EXPECT_EQ(runCli({"unpack", "a.b.dat", "out"}, work()).out, absolute("out/a.b") + "\n");
    // Beside itself the dotless archive takes its own name.
    EXPECT_EQ(runCli({"unpack", "skinpack"}, work()).out, absolute("skinpack (1)") + "\n");
}

TEST_F(CliUnpack, EmptyArchiveGivesAnEmptyFolder) {
    writeFile(work() / "empty.rdb", RawArchive{}.bytes());
    const auto result = runCli({"unpack", "empty.rdb"}, work());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(fs::is_directory(work() / "empty"));
    EXPECT_TRUE(fs::is_empty(work() / "empty"));
}

TEST_F(CliUnpack, LowerCaseMagicIsAccepted) {
    auto archive = exampleArchive();
    archive.magic = "531e98204f8542f0";
    writeFile(work() / "lower.rdb", archive.bytes());
    const auto result = runCli({"unpack", "lower.rdb"}, work());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(readFile(work() / "lower" / "a.txt"), "abc");
}

TEST_F(CliUnpack, QuietStillPrintsTheFolderButNothingElse) {
    writeFile(work() / "blue.rdb", exampleArchive().bytes());
    const auto result = runCli({"unpack", "-q", "blue.rdb"}, work(),
                               terminalAvailable() ? ErrorStream::Terminal : ErrorStream::File);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, absolute("blue") + "\n");
    EXPECT_EQ(result.err, "");
}

TEST_F(CliUnpack, ShowsProgressOnATerminalOnly) {
    writeFile(work() / "blue.rdb", exampleArchive().bytes());
    const auto piped = runCli({"unpack", "blue.rdb"}, work());
    EXPECT_EQ(piped.err, "");
    if (!terminalAvailable()) {
        GTEST_SKIP() << "no terminal to give the tool on this host";
    }
    const auto shown = runCli({"unpack", "blue.rdb"}, work(), ErrorStream::Terminal);
    EXPECT_EQ(shown.status, 0);
    EXPECT_NE(shown.err.find("2/2"), std::string::npos) << shown.err;
    EXPECT_EQ(shown.out, absolute("blue (1)") + "\n") << "progress must stay off standard output";
}

TEST_F(CliUnpack, FailsWithoutCreatingAnythingWhenTheArchiveOrTheFolderIsMissing) {
    writeFile(work() / "blue.rdb", exampleArchive().bytes());
    const std::vector<std::vector<std::string>> lines = {
        {"unpack", "missing.rdb"},
        {"unpack", "missing.rdb", "."},
        {"unpack", "blue.rdb", "nowhere"},
    };
    for (const auto& line : lines) {
        const auto before = snapshot(work());
        const auto result = runCli(line, work());
        EXPECT_EQ(result.status, 1) << line[1];
        EXPECT_TRUE(result.oneErrorLine()) << result.err;
        const std::string named = line[1] == "blue.rdb" ? "nowhere" : line[1];
        EXPECT_NE(result.err.find(named), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
        // In particular the missing archive is not created.
        EXPECT_EQ(snapshot(work()), before) << line[1];
    }
}

}  // namespace
}  // namespace tessapak::cli::test
