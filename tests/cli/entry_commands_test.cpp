// list --json, extract and cat: looking inside an archive as a script would.
#include <gtest/gtest.h>

#include "cli_runner.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace tessapak::cli::test {
namespace {

class CliLookInside : public ::testing::Test {
  protected:
    const fs::path& work() const { return work_; }

  private:
    TempFolder temp_;
    fs::path work_ = temp_.subfolder("work");
};

TEST_F(CliLookInside, ListJsonGivesOneDocumentWithEveryNameEscapedByJsonRules) {
    RawArchive archive;
    archive.entries = {{u"皮肤\\按钮\\图1.png", "12345"},
                       {u"emoji\\\U0001F3A8.bmp", "x"},
                       {u"line\u2028sep.txt", ""}};
    std::string expectedNames =
        "  {\"name\": \"皮肤/按钮/图1.png\", \"size\": 5},\n"
        "  {\"name\": \"emoji/\U0001F3A8.bmp\", \"size\": 1},\n"
        "  {\"name\": \"line\u2028sep.txt\", \"size\": 0}";
#ifndef _WIN32
    // Quotes are refused in names on Windows; elsewhere they must be escaped.
    archive.entries.push_back({u"say \"hi\".txt", "ab"});
    expectedNames += ",\n  {\"name\": \"say \\\"hi\\\".txt\", \"size\": 2}";
#endif
    writeFile(work() / "skin.rdb", archive.bytes());
    const auto result = runCli({"list", "--json", "skin.rdb"}, work());
    ASSERT_EQ(result.status, 0) << result.err;
    const std::size_t files = archive.entries.size();
    const std::size_t bytes = files == 4 ? 8 : 6;
    EXPECT_EQ(result.out, "{\"archive\": \"skin.rdb\", \"files\": " + std::to_string(files) +
                              ", \"bytes\": " + std::to_string(bytes) + ", \"entries\": [\n" +
                              expectedNames + "\n]}\n");

    writeFile(work() / "empty.rdb", RawArchive{}.bytes());
    EXPECT_EQ(runCli({"list", "--json", "empty.rdb"}, work()).out,
              "{\"archive\": \"empty.rdb\", \"files\": 0, \"bytes\": 0, \"entries\": []}\n");
}

TEST_F(CliLookInside, ExtractWritesPickedEntriesAndRefusesToOverwriteUnlessAsked) {
    auto archive = exampleArchive();
    archive.entries.push_back({u"img\\hover\\c.png", "hover"});
    writeFile(work() / "skin.rdb", archive.bytes());

    const auto picked = runCli({"extract", "-q", "skin.rdb", "-o", "new/out", "img/"}, work());
    ASSERT_EQ(picked.status, 0) << picked.err;
    EXPECT_EQ(picked.out, "");
    EXPECT_EQ(snapshot(work() / "new/out"),
              (std::map<std::string, std::string>{{"img", "<dir>"},
                                                  {"img/b.png", "hi"},
                                                  {"img/hover", "<dir>"},
                                                  {"img/hover/c.png", "hover"}}));

    // A file in the way: nothing at all is written, and it is named.
    const auto refused = runCli({"extract", "skin.rdb", "-o", "new/out"}, work());
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.oneErrorLine()) << refused.err;
    EXPECT_NE(refused.err.find("b.png"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(work() / "new/out/a.txt"));

    const auto replaced = runCli({"extract", "skin.rdb", "-o", "new/out", "--overwrite"}, work());
    ASSERT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_EQ(readFile(work() / "new/out/a.txt"), "abc");

    // A name that matches nothing is named, and not even the folder is made.
    const auto unknown = runCli({"extract", "skin.rdb", "-o", "other", "a.txt", "nope"}, work());
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("nope"), std::string::npos) << unknown.err;
    EXPECT_FALSE(fs::exists(work() / "other"));
}

TEST_F(CliLookInside, CatWritesOnlyTheEntrysBytes) {
    auto archive = exampleArchive();
    const std::string binary("\0\x01\r\n\xff\x1b[2J", 9);
    archive.entries.push_back({u"bin\\raw.dat", binary});
    writeFile(work() / "skin.rdb", archive.bytes());
    const auto result = runCli({"cat", "skin.rdb", "bin/raw.dat"}, work());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, binary);
    EXPECT_EQ(result.err, "");

    const auto missing = runCli({"cat", "skin.rdb", "img"}, work());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("img"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace tessapak::cli::test
