// tessapak-cli pack: where the archive goes, what it holds, what is printed,
// and how failures are reported.
#include <gtest/gtest.h>

#include "cli_runner.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace tessapak::cli::test {
namespace {

class CliPack : public ::testing::Test {
  protected:
    void SetUp() override {
        writeFile(work() / "blue" / "a.txt", "abc");
        writeFile(work() / "blue" / "img" / "b.png", "hi");
    }
    const fs::path& work() const { return work_; }

  private:
    TempFolder temp_;
    fs::path work_ = temp_.subfolder("work");
};

TEST_F(CliPack, WritesTheExampleArchiveBesideTheFolderByDefault) {
    const auto result = runCli({"pack", "blue"}, work());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(readFile(work() / "blue.rdb"), exampleArchive().bytes());
    EXPECT_NE(result.out.find("2 files"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("blue.rdb"), std::string::npos) << result.out;
    EXPECT_EQ(result.err, "");
}

TEST_F(CliPack, FolderWithTrailingSlashOrGivenAsDotIsNamedAfterItself) {
    ASSERT_EQ(runCli({"pack", "-q", "blue/"}, work()).status, 0);
    EXPECT_TRUE(fs::is_regular_file(work() / "blue.rdb"));
    EXPECT_FALSE(fs::exists(work() / "blue" / ".rdb"));

    fs::remove(work() / "blue.rdb");
    ASSERT_EQ(runCli({"pack", "-q", "blue//"}, work()).status, 0);
    EXPECT_TRUE(fs::is_regular_file(work() / "blue.rdb"));

    fs::remove(work() / "blue.rdb");
    ASSERT_EQ(runCli({"pack", "-q", "."}, work() / "blue").status, 0);
    EXPECT_EQ(readFile(work() / "blue.rdb"), exampleArchive().bytes());
    EXPECT_FALSE(fs::exists(work() / "blue" / ".rdb"));
    EXPECT_FALSE(fs::exists(work() / "blue" / "..rdb"));
}

TEST_F(CliPack, DefaultNameKeepsAnRdbEndingOfTheFolderItself) {
    // A folder called "skin.RDB" must not be packed over itself.
    fs::rename(work() / "blue", work() / "skin.RDB");
    ASSERT_EQ(runCli({"pack", "-q", "skin.RDB"}, work()).status, 0);
    EXPECT_TRUE(fs::is_regular_file(work() / "skin.RDB.rdb"));
    EXPECT_TRUE(fs::is_directory(work() / "skin.RDB"));
}

TEST_F(CliPack, AppendsRdbUnlessTheArchiveNameEndsInRdbInAnyCase) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"out", "out.rdb"},
        {"out.rdb", "out.rdb"},
        {"upper.RDB", "upper.RDB"},
        {"mixed.rDb", "mixed.rDb"},
        {"old.rdb.bak", "old.rdb.bak.rdb"},
        {"dotted.", "dotted..rdb"},
    };
    for (const auto& [given, written] : cases) {
        const auto result = runCli({"pack", "-q", "blue", given}, work());
        ASSERT_EQ(result.status, 0) << given << ": " << result.err;
        EXPECT_TRUE(fs::is_regular_file(work() / written)) << given << " should give " << written;
        if (given != written) {
            EXPECT_FALSE(fs::exists(work() / given)) << given;
        }
    }
}

TEST_F(CliPack, ReplacesAnExistingLongerArchiveCompletely) {
    writeFile(work() / "out.rdb", std::string(4096, 'x'));
    ASSERT_EQ(runCli({"pack", "-q", "blue", "out.rdb"}, work()).status, 0);
    EXPECT_EQ(readFile(work() / "out.rdb"), exampleArchive().bytes());
}

TEST_F(CliPack, QuietRunPrintsNothingAtAll) {
    const auto result = runCli({"pack", "-q", "blue"}, work());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
}

TEST_F(CliPack, NonAsciiNamesAndEmptyFilesSurviveARoundTrip) {
    writeFile(work() / "blue" / "皮肤" / "按钮.png", "\x89PNG");
    writeFile(work() / "blue" / "empty.txt", "");
    writeFile(work() / "blue" / ".hidden", "h");
    fs::create_directories(work() / "blue" / "nothing" / "inside");
    ASSERT_EQ(runCli({"pack", "-q", "blue", "skin"}, work()).status, 0);
    const auto unpacked = runCli({"unpack", "-q", "skin.rdb", "."}, work());
    ASSERT_EQ(unpacked.status, 0) << unpacked.err;

    auto expected = snapshot(work() / "blue");
    // Folders without files are not carried by the format.
    expected.erase("nothing");
    expected.erase("nothing/inside");
    EXPECT_EQ(snapshot(work() / "skin"), expected);
}

TEST_F(CliPack, FailsWithOneLineNamingAMissingOrWrongFolder) {
    writeFile(work() / "plain.txt", "not a folder");
    for (const char* folder : {"missing", "plain.txt"}) {
        const auto before = snapshot(work());
        const auto result = runCli({"pack", folder}, work());
        EXPECT_EQ(result.status, 1) << folder;
        EXPECT_TRUE(result.oneErrorLine()) << result.err;
        EXPECT_EQ(result.err.rfind(std::string("tessapak-cli: ") + folder + ": ", 0), 0u)
            << result.err;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(snapshot(work()), before) << folder << ": nothing may be written";
    }
}

TEST_F(CliPack, FailsWithoutLeavingAFileWhenTheOutputFolderIsMissing) {
    const auto before = snapshot(work());
    const auto result = runCli({"pack", "blue", "nowhere/out.rdb"}, work());
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.oneErrorLine()) << result.err;
    EXPECT_NE(result.err.find("nowhere"), std::string::npos) << result.err;
    EXPECT_EQ(snapshot(work()), before);
}

TEST_F(CliPack, RefusesAnArchiveNameThatIsAFolder) {
    fs::create_directory(work() / "out");
    fs::create_directory(work() / "taken.rdb");
    for (const char* archive : {"out/", "out/.", "taken.rdb"}) {
        const auto before = snapshot(work());
        const auto result = runCli({"pack", "blue", archive}, work());
        EXPECT_EQ(result.status, 1) << archive;
        EXPECT_TRUE(result.oneErrorLine()) << result.err;
        EXPECT_NE(result.err.find(archive), std::string::npos) << result.err;
        EXPECT_EQ(snapshot(work()), before) << archive;
    }
}

TEST_F(CliPack, ArchiveInsideThePackedFolderDoesNotPackItself) {
    ASSERT_EQ(runCli({"pack", "-q", "blue", "blue/self"}, work()).status, 0);
    // Packing again must give the same bytes: neither the earlier archive
    // nor the temporary file of the run may be listed.
    const std::string first = readFile(work() / "blue" / "self.rdb");
    EXPECT_EQ(first, exampleArchive().bytes());
    ASSERT_EQ(runCli({"pack", "-q", "blue", "blue/self"}, work()).status, 0);
    EXPECT_EQ(readFile(work() / "blue" / "self.rdb"), first);
}

TEST_F(CliPack, ShowsProgressOnlyOnATerminalAndNeverWhenQuiet) {
    for (char name : {'a', 'b', 'c', 'd', 'e'}) {
        writeFile(work() / "blue" / std::string(1, name), "x");
    }
    const auto piped = runCli({"pack", "blue", "piped"}, work());
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.err, "") << "no progress when standard error is not a terminal";
    if (!terminalAvailable()) {
        GTEST_SKIP() << "no terminal to give the tool on this host";
    }

    const auto shown = runCli({"pack", "blue", "shown"}, work(), ErrorStream::Terminal);
    EXPECT_EQ(shown.status, 0);
    EXPECT_NE(shown.err.find("7/7"), std::string::npos) << shown.err;

    const auto quiet = runCli({"pack", "-q", "blue", "quiet"}, work(), ErrorStream::Terminal);
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
}

}  // namespace
}  // namespace tessapak::cli::test
