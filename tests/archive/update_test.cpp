// Comparing two versions of a skin, and writing an archive anew with some
// entries replaced, added or removed while every other entry keeps its bytes.

#include <gtest/gtest.h>

#include <functional>

#include "archive/archive_error.h"
#include "archive/compare.h"
#include "archive/pack.h"
#include "archive/unpack.h"
#include "archive_test_support.h"

namespace tessapak::archive {
namespace {

namespace fs = std::filesystem;
using testing::RawArchive;
using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

using Names = std::vector<std::u16string>;

// The differences as one comparable value.
struct Seen {
    Names added, removed, changed;
    std::int64_t unchanged;
    bool operator==(const Seen&) const = default;
};

Seen seen(const EntryDifference& d) {
    return {d.added, d.removed, d.changed, d.unchanged};
}

void PrintTo(const Seen& s, std::ostream* out) {
    const auto list = [out](const char* what, const Names& names) {
        *out << what << ":";
        for (const auto& name : names) {
            *out << " " << std::string(name.begin(), name.end());
        }
        *out << "; ";
    };
    list("added", s.added);
    list("removed", s.removed);
    list("changed", s.changed);
    *out << "unchanged " << s.unchanged;
}

TEST(CompareEntries, FindsEveryKindOfDifferenceAgainstAnArchiveOrAFolder) {
    TempFolder dir;
    std::string big(600 << 10, 'x');  // over two pieces of the byte comparison
    RawArchive before;
    before.entries = {
        {u"a.txt", "abc"},  {u"big.bin", big},  {u"dup.txt", "old"},   {u"readme.txt", "r"},
        {u"same.bin", big}, {u"gone.txt", "g"}, {u"img\\b.png", "hi"}, {u"img\\c.png", "same"},
        {u"dup.txt", "new"}};  // the last of one name counts
    writeFile(dir / "before.rdb", before.bytes());

    writeFile(dir / "after/a.txt", "abc");
    big.back() = 'y';  // same size, last byte differs
    writeFile(dir / "after/big.bin", big);
    writeFile(dir / "after/dup.txt", "new");
    writeFile(dir / "after/README.txt", "r");  // letter case differs: another entry
    writeFile(dir / "after/same.bin", std::string(600 << 10, 'x'));
    writeFile(dir / "after/new.txt", "n");
    writeFile(dir / "after/img/b.png", "ho");
    writeFile(dir / "after/img/c.png", "same");
    packFolder(dir / "after", dir / "after.rdb");

    const Seen expected{
        {u"new.txt", u"README.txt"}, {u"readme.txt", u"gone.txt"}, {u"big.bin", u"img\\b.png"}, 4};
    EXPECT_EQ(seen(compareEntries(dir / "before.rdb", dir / "after")), expected);
    EXPECT_EQ(seen(compareEntries(dir / "before.rdb", dir / "after.rdb")), expected);
    const Seen reversed{
        {u"readme.txt", u"gone.txt"}, {u"new.txt", u"README.txt"}, {u"big.bin", u"img\\b.png"}, 4};
    EXPECT_EQ(seen(compareEntries(dir / "after", dir / "before.rdb")), reversed);
    const EntryDifference self = compareEntries(dir / "after", dir / "after.rdb");
    EXPECT_TRUE(self.same());
    EXPECT_EQ(self.unchanged, 8);
}

TEST(CompareEntries, NamesWhatCannotBeRead) {
    TempFolder dir;
    writeFile(dir / "skin/a.txt", "a");
    writeFile(dir / "not.rdb", "this is no archive at all, not even close");
    const auto pathOfFailure = [](const std::function<void()>& action) {
        try {
            action();
        } catch (const ArchiveError& e) {
            return e.path();
        }
        return fs::path("(nothing thrown)");
    };
    EXPECT_EQ(pathOfFailure([&] { compareEntries(dir / "skin", dir / "missing.rdb"); }),
              dir / "missing.rdb");
    EXPECT_EQ(pathOfFailure([&] { compareEntries(dir / "not.rdb", dir / "skin"); }),
              dir / "not.rdb");
}

}  // namespace
}  // namespace tessapak::archive
