// Comparing two versions of a skin, and writing an archive anew with some
// entries replaced, added or removed while every other entry keeps its bytes.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <functional>
#include <numeric>
#include <optional>
#include <stdexcept>

#include "archive/archive_error.h"
#include "archive/compare.h"
#include "archive/pack.h"
#include "archive/unpack.h"
#include "archive/update.h"
#include "archive_test_support.h"

namespace tessapak::archive {
namespace {

namespace fs = std::filesystem;
using testing::folderNames;
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
    // An archive inside the folder is left out, as a pack into it leaves it out.
    fs::rename(dir / "after.rdb", dir / "after/after.rdb");
    const EntryDifference self = compareEntries(dir / "after", dir / "after/after.rdb");
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

// Runs action, expects it to throw ArchiveError, and returns the error.
std::optional<ArchiveError> failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ArchiveError& e) {
        return e;
    }
    return std::nullopt;
}

// Names and sizes, for a message.
std::string listing(const fs::path& archive) {
    ArchiveReader reader(archive);
    reader.readDirectory();
    std::string text;
    for (const auto& entry : reader.entries()) {
        text += std::string(entry.Name.begin(), entry.Name.end()) + " " +
                std::to_string(entry.DataSize) + "; ";
    }
    return text;
}

EntryUpdate put(std::u16string name, fs::path source) {
    return {std::move(name), std::move(source)};
}

EntryUpdate drop(std::u16string name) {
    return {std::move(name), std::nullopt};
}

// A skin packed from a folder; each case changes the folder and the archive
// alike, and the updated archive must be exactly what a fresh pack of the
// changed folder writes: every other entry's bytes, the replaced entry's
// place and the added entries' places in the walk all follow from that.
TEST(UpdateArchive, GivesWhatAFreshPackOfTheChangedFolderGives) {
    struct Case {
        const char* what;
        std::vector<EntryUpdate> changes;
        std::vector<std::pair<std::string, std::string>> written;  // in the folder
        std::vector<std::string> deleted;                          // from the folder
        UpdateSummary summary;
    };
    const std::string big(3 << 20, 'g');
    const Case cases[] = {
        {"replacing one entry, larger than before",
         {put(u"img\\b.png", "new/b.png")},
         {{"img/b.png", std::string(5000, 'B')}},
         {},
         {1, 0, 0, 5}},
        {"replacing the big entry with nothing",
         {put(u"img\\big.bmp", "new/empty")},
         {{"img/big.bmp", ""}},
         {},
         {1, 0, 0, 5}},
        {"adding to an existing folder, to a new one and to the top",
         {put(u"img\\c.png", "new/c.png"), put(u"img\\zz\\q.png", "new/q.png"),
          put(u"B.txt", "new/B.txt")},
         {{"img/c.png", "cc"}, {"img/zz/q.png", "qq"}, {"B.txt", "bb"}},
         {},
         {0, 3, 0, 6}},
        {"removing a file and a folder",
         {drop(u"a.txt"), drop(u"img\\hover")},
         {},
         {"a.txt", "img/hover"},
         {0, 0, 3, 3}},
        {"removing a folder and adding below its name again",
         {drop(u"img\\hover\\"), put(u"img\\hover\\n.png", "new/n.png")},
         {{"img/hover/n.png", "nn"}},
         {"img/hover"},
         {0, 1, 2, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder dir;
        writeFile(dir / "skin/a.txt", "abc");
        writeFile(dir / "skin/z.txt", "zz");
        writeFile(dir / "skin/img/b.png", "hi");
        writeFile(dir / "skin/img/big.bmp", big);
        writeFile(dir / "skin/img/hover/c.png", "hover");
        writeFile(dir / "skin/img/hover/d.png", "d");
        packFolder(dir / "skin", dir / "skin.rdb");
#ifndef _WIN32
        ::chmod((dir / "skin.rdb").c_str(), 0640);
#endif
        for (const auto& name : c.deleted) {
            fs::remove_all(dir / "skin" / name);
        }
        for (const auto& [name, bytes] : c.written) {
            writeFile(dir / "skin" / name, bytes);
            writeFile(dir / "new" / fs::path(name).filename(), bytes);
        }
        writeFile(dir / "new/empty", "");
        std::vector<EntryUpdate> changes = c.changes;
        for (auto& change : changes) {
            if (change.source) {
                change.source = dir / *change.source;
            }
        }
        std::vector<std::int64_t> numbers;
        const UpdateSummary summary = updateArchive(
            dir / "skin.rdb", changes, [&](std::int64_t n, std::int64_t) { numbers.push_back(n); });
        packFolder(dir / "skin", dir / "fresh.rdb");
        EXPECT_TRUE(readFile(dir / "skin.rdb") == readFile(dir / "fresh.rdb"))
            << listing(dir / "skin.rdb") << " instead of " << listing(dir / "fresh.rdb");
        EXPECT_EQ(summary.replaced, c.summary.replaced);
        EXPECT_EQ(summary.added, c.summary.added);
        EXPECT_EQ(summary.removed, c.summary.removed);
        EXPECT_EQ(summary.kept, c.summary.kept);
        std::vector<std::int64_t> expected(
            static_cast<std::size_t>(summary.kept + summary.added + summary.replaced));
        std::iota(expected.begin(), expected.end(), 1);
        EXPECT_EQ(numbers, expected);
        EXPECT_EQ(folderNames(dir.path()),
                  (std::vector<std::string>{"fresh.rdb", "new", "skin", "skin.rdb"}));
#ifndef _WIN32
        struct stat info {};
        ASSERT_EQ(::stat((dir / "skin.rdb").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0640u);
#endif
    }
}

// An archive another tool wrote may hold one name twice; the earlier entry
// is hidden behind the later and must not come to light when that one goes.
TEST(UpdateArchive, ActsOnEveryEntryOfANameThatAnArchiveHoldsTwice) {
    TempFolder dir;
    RawArchive twice;
    twice.entries = {{u"a.txt", "old"}, {u"b.txt", "b"}, {u"a.txt", "new"}, {u"c.txt", "c"}};
    writeFile(dir / "new.txt", "newest");
    const auto namesAfter = [&](const std::vector<EntryUpdate>& changes) {
        writeFile(dir / "skin.rdb", twice.bytes());
        updateArchive(dir / "skin.rdb", changes);
        ArchiveReader reader(dir / "skin.rdb");
        reader.readDirectory();
        std::vector<std::pair<std::u16string, std::int32_t>> names;
        for (const auto& entry : reader.entries()) {
            names.emplace_back(entry.Name, entry.DataSize);
        }
        return names;
    };
    using Listing = std::vector<std::pair<std::u16string, std::int32_t>>;
    EXPECT_EQ(namesAfter({drop(u"a.txt")}), (Listing{{u"b.txt", 1}, {u"c.txt", 1}}));
    EXPECT_EQ(namesAfter({put(u"a.txt", dir / "new.txt")}),
              (Listing{{u"b.txt", 1}, {u"a.txt", 6}, {u"c.txt", 1}}));
}

// Whatever fails, the archive is left byte for byte as it was and no
// temporary file stays beside it.
TEST(UpdateArchive, AFailedUpdateLeavesTheArchiveAsItWas) {
    struct Case {
        const char* what;
        std::vector<EntryUpdate> changes;
        ErrorCause cause;
        std::string named;  // in the error's path
    };
    const Case cases[] = {
        {"a removal that names nothing",
         {drop(u"img\\nothing.png")},
         ErrorCause::CannotOpen,
         "skin.rdb"},
        {"a removal of an empty name", {drop(u"")}, ErrorCause::CannotOpen, "skin.rdb"},
        {"a removal of the top folder", {drop(u"\\")}, ErrorCause::CannotOpen, "skin.rdb"},
        {"a source that does not exist",
         {put(u"img\\b.png", "missing.png")},
         ErrorCause::CannotOpen,
         "missing.png"},
        {"a folder as a source", {put(u"img\\b.png", "folder")}, ErrorCause::CannotOpen, "folder"},
        {"a name climbing out",
         {put(u"img\\..\\..\\x.png", "new.png")},
         ErrorCause::NameNotRepresentable,
         "skin.rdb"},
        {"an empty folder name",
         {put(u"img\\\\x.png", "new.png")},
         ErrorCause::NameNotRepresentable,
         "skin.rdb"},
        {"a name ending in a separator",
         {put(u"img\\", "new.png")},
         ErrorCause::NameNotRepresentable,
         "skin.rdb"},
        {"a Windows device name",
         {put(u"img\\con.png", "new.png")},
         ErrorCause::NameNotRepresentable,
         "skin.rdb"},
        {"a character Windows refuses",
         {put(u"img\\a?.png", "new.png")},
         ErrorCause::NameNotRepresentable,
         "skin.rdb"},
        {"a folder differing only in letter case",
         {put(u"IMG\\x.png", "new.png")},
         ErrorCause::NameNotRepresentable,
         "skin.rdb"},
        {"a file used as a folder",
         {put(u"a.txt\\x.png", "new.png")},
         ErrorCause::NameNotRepresentable,
         "skin.rdb"},
        {"a later failure undoes an earlier good change",
         {put(u"a.txt", "new.png"), drop(u"gone")},
         ErrorCause::CannotOpen,
         "skin.rdb"},
    };
    TempFolder dir;
    writeFile(dir / "skin/a.txt", "abc");
    writeFile(dir / "skin/img/b.png", std::string(100000, 'b'));
    writeFile(dir / "new.png", "new");
    fs::create_directory(dir / "folder");
    packFolder(dir / "skin", dir / "skin.rdb");
    const std::string before = readFile(dir / "skin.rdb");
    const auto names = folderNames(dir.path());
    const auto expectUntouched = [&] {
        EXPECT_EQ(readFile(dir / "skin.rdb"), before);
        EXPECT_EQ(folderNames(dir.path()), names);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<EntryUpdate> changes = c.changes;
        for (auto& change : changes) {
            if (change.source) {
                change.source = dir / *change.source;
            }
        }
        const auto error = failureOf([&] { updateArchive(dir / "skin.rdb", changes); });
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->cause(), c.cause) << error->what();
        EXPECT_NE(error->path().generic_string().find(c.named), std::string::npos) << error->what();
        expectUntouched();
    }

    // A failure once the new archive is half written: the temporary file goes.
    SCOPED_TRACE("a failure while writing");
    EXPECT_THROW(updateArchive(dir / "skin.rdb", {put(u"img\\c.png", dir / "new.png")},
                               [](std::int64_t n, std::int64_t) {
                                   if (n == 2) {
                                       throw std::runtime_error("stopped");
                                   }
                               }),
                 std::runtime_error);
    expectUntouched();
}

}  // namespace
}  // namespace tessapak::archive
