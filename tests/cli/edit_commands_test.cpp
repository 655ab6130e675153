// diff, update and remove as a script would use them: output, exit statuses,
// and an archive left alone when a change fails.
#include <gtest/gtest.h>

#include "cli_runner.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace tessapak::cli::test {
namespace {

class CliEdit : public ::testing::Test {
  protected:
    const fs::path& work() const { return work_; }

  private:
    TempFolder temp_;
    fs::path work_ = temp_.subfolder("work");
};

TEST_F(CliEdit, DiffPrintsEachDifferenceAndExitsAsDiffDoes) {
    RawArchive before;
    before.entries = {{u"a.txt", "abc"}, {u"img\\b.png", "hi"}, {u"gone.txt", "g"}};
    writeFile(work() / "before.rdb", before.bytes());
    RawArchive after;
    after.entries = {{u"a.txt", "abc"}, {u"img\\b.png", "ho"}, {u"new\u202eline.txt", "n"}};
    writeFile(work() / "after.rdb", after.bytes());
    writeFile(work() / "same/a.txt", "abc");
    writeFile(work() / "same/img/b.png", "hi");
    writeFile(work() / "same/gone.txt", "g");

    // Names appear exactly as list shows them.
    const auto listed = runCli({"list", "after.rdb"}, work());
    const std::string shownNew = listed.out.substr(listed.out.rfind('\t') + 1);

    const auto differ = runCli({"diff", "before.rdb", "after.rdb"}, work());
    EXPECT_EQ(differ.status, 1) << differ.err;
    EXPECT_EQ(differ.out, "+ " + shownNew + "- gone.txt\nM img/b.png\n");
    EXPECT_EQ(differ.err, "");

    const auto json = runCli({"diff", "--json", "before.rdb", "after.rdb"}, work());
    EXPECT_EQ(json.status, 1) << json.err;
    EXPECT_EQ(json.out,
              "{\"added\": [\"new\u202eline.txt\"], \"removed\": [\"gone.txt\"], "
              "\"changed\": [\"img/b.png\"]}\n");

    const auto same = runCli({"diff", "before.rdb", "same"}, work());
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(same.out, "");
    EXPECT_EQ(runCli({"diff", "--json", "same", "before.rdb"}, work()).out,
              "{\"added\": [], \"removed\": [], \"changed\": []}\n");

    // Trouble is 2, since 1 says that the two differ.
    const auto missing = runCli({"diff", "before.rdb", "missing.rdb"}, work());
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(missing.oneErrorLine()) << missing.err;
    EXPECT_NE(missing.err.find("missing.rdb"), std::string::npos) << missing.err;
    EXPECT_EQ(runCli({"diff", "before.rdb"}, work()).status, 2);
}

TEST_F(CliEdit, UpdateAndRemoveChangeOnlyWhatTheyNameOrNothingAtAll) {
    writeFile(work() / "skin.rdb", exampleArchive().bytes());
    writeFile(work() / "new.png", "new picture");

    const auto updated =
        runCli({"update", "skin.rdb", "img/b.png=new.png", "img\\c.png=new.png"}, work());
    ASSERT_EQ(updated.status, 0) << updated.err;
    EXPECT_EQ(updated.out, "skin.rdb: 1 replaced, 1 added, 0 removed, 1 kept\n");
    EXPECT_EQ(runCli({"list", "skin.rdb"}, work()).out, "3\ta.txt\n11\timg/b.png\n11\timg/c.png\n");
    EXPECT_EQ(runCli({"cat", "skin.rdb", "img/b.png"}, work()).out, "new picture");

    const auto removed = runCli({"remove", "-q", "skin.rdb", "img"}, work());
    ASSERT_EQ(removed.status, 0) << removed.err;
    EXPECT_EQ(removed.out, "");
    EXPECT_EQ(runCli({"list", "skin.rdb"}, work()).out, "3\ta.txt\n");

    const std::string kept = readFile(work() / "skin.rdb");
    const auto failed = runCli({"remove", "skin.rdb", "a.txt", "nothing"}, work());
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(failed.oneErrorLine()) << failed.err;
    EXPECT_NE(failed.err.find("nothing"), std::string::npos) << failed.err;
    const auto usage = runCli({"update", "skin.rdb", "a.txt"}, work());
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(readFile(work() / "skin.rdb"), kept);
    EXPECT_EQ(snapshot(work()).size(), 2u);  // skin.rdb and new.png, no temporary file
}

}  // namespace
}  // namespace tessapak::cli::test
