// Reading single entries and extracting a picked set, against archives and
// target folders that try to make either go wrong.

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "archive/archive_error.h"
#include "archive/entry_reader.h"
#include "archive/extract_selection.h"
#include "archive/unpack.h"
#include "archive_test_support.h"

namespace tessapak::archive {
namespace {

namespace fs = std::filesystem;
using testing::RawArchive;
using testing::RawEntry;
using testing::readFile;
using testing::TempFolder;
using testing::treeContents;
using testing::writeFile;

std::optional<ErrorCause> causeOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ArchiveError& e) {
        return e.cause();
    }
    return std::nullopt;
}

RawArchive skin() {
    RawArchive archive;
    archive.entries = {{u"a.txt", "abc"},
                       {u"img\\b.png", "hi"},
                       {u"img\\hover\\c.png", std::string(3 << 20, 'c')},
                       {u"imgx\\d.png", "d"},
                       {u"empty.ini", ""}};
    return archive;
}

TEST(EntryReader, ReadsEachEntryBoundedAndRefusesWhatTheFileNoLongerHolds) {
    struct Case {
        const char* what;
        std::size_t index;
        std::int64_t limit;
        std::int64_t cutFileTo;  // 0: the file stays whole; 400 cuts into the third entry
        std::optional<std::string> bytes;
        std::optional<ErrorCause> error;
    };
    const RawArchive archive = skin();
    const std::string big(3 << 20, 'c');
    const Case cases[] = {
        {"a small entry", 0, 100, 0, "abc", {}},
        {"an entry larger than one piece", 2, 4 << 20, 0, big, {}},
        {"an empty entry", 4, 0, 0, "", {}},
        {"an entry over the caller's limit", 2, (3 << 20) - 1, 0, {}, ErrorCause::ArchiveTooLarge},
        {"an entry cut off after the directory was read",
         2,
         4 << 20,
         400,
         {},
         ErrorCause::ArchiveTruncated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder dir;
        const fs::path path = dir / "skin.rdb";
        writeFile(path, archive.bytes());
        ArchiveReader reader(path);
        reader.readDirectory();
        if (c.cutFileTo > 0) {
            fs::resize_file(path, static_cast<std::uintmax_t>(c.cutFileTo));
        }
        const EntryReader entries(reader);
        std::string got;
        const auto cause = causeOf([&] { got = entries.readAll(c.index, c.limit); });
        EXPECT_EQ(cause, c.error);
        if (c.bytes) {
            EXPECT_EQ(got, *c.bytes);
            // The same bytes in odd-sized pieces, and nothing past the end.
            std::string pieces;
            char piece[4097];
            for (std::size_t n;
                 (n = entries.readPart(c.index, static_cast<std::int64_t>(pieces.size()), piece,
                                       sizeof piece)) > 0;) {
                pieces.append(piece, n);
            }
            EXPECT_EQ(pieces, *c.bytes);
        }
    }
}

TEST(SelectEntries, PicksFilesAndWholeFoldersAndNamesWhatMatchesNothing) {
    RawArchive archive = skin();
    archive.entries.push_back({u"a.txt", "new"});  // the later of two wins
    TempFolder dir;
    writeFile(dir / "skin.rdb", archive.bytes());
    ArchiveReader reader(dir / "skin.rdb");
    reader.readDirectory();
    struct Case {
        std::vector<std::u16string> names;
        std::vector<std::size_t> picked;
        std::vector<std::u16string> unmatched;
    };
    const Case cases[] = {
        {{}, {1, 2, 3, 4, 5}, {}},
        {{u"a.txt"}, {5}, {}},
        {{u"img"}, {1, 2}, {}},  // not imgx
        {{u"img\\"}, {1, 2}, {}},
        {{u"a.txt\\", u"im", u"img\\hover", u"IMG"}, {2}, {u"a.txt\\", u"im", u"IMG"}},
        {{u"\\"}, {1, 2, 3, 4, 5}, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::u16string> unmatched;
        EXPECT_EQ(selectEntries(reader.entries(), c.names, unmatched), c.picked);
        EXPECT_EQ(unmatched, c.unmatched);
    }
}

TEST(ExtractSelection, WritesOnlyInsideTheFolderAndEachFileWholeOrNotAtAll) {
    using Tree = std::map<std::string, std::string>;
    struct Case {
        const char* what;
        std::vector<std::u16string> names;
        bool overwrite = false;
        // Prepares out/ (and outside/, which must stay as it is).
        std::function<void(const fs::path& out, const fs::path& outside)> prepare;
        std::optional<ErrorCause> error;
        Tree tree;  // every regular file below out/ afterwards
        std::size_t written = 0;
        std::function<bool(const SelectionOutcome&)> cancelAfter;
        std::int64_t cutFileTo = 0;
    };
    const std::string big(3 << 20, 'c');
    const auto none = [](const fs::path&, const fs::path&) {};
    std::vector<Case> cases;
    cases.push_back({"picked files and folders keep their paths",
                     {u"a.txt", u"img"},
                     false,
                     none,
                     {},
                     Tree{{"a.txt", "abc"}, {"img/b.png", "hi"}, {"img/hover/c.png", big}},
                     3,
                     {},
                     0});
    cases.push_back({"existing folders are merged into",
                     {u"imgx"},
                     false,
                     [](const fs::path& out, const fs::path&) { writeFile(out / "imgx/old", "o"); },
                     {},
                     Tree{{"imgx/d.png", "d"}, {"imgx/old", "o"}},
                     1,
                     {},
                     0});
    cases.push_back(
        {"a file in the way is left alone and nothing is written",
         {},
         false,
         [](const fs::path& out, const fs::path&) { writeFile(out / "img/hover/c.png", "mine"); },
         ErrorCause::CannotCreate,
         Tree{{"img/hover/c.png", "mine"}},
         0,
         {},
         0});
    cases.push_back(
        {"a file in the way is replaced when asked",
         {u"img\\hover\\c.png"},
         true,
         [](const fs::path& out, const fs::path&) { writeFile(out / "img/hover/c.png", "mine"); },
         {},
         Tree{{"img/hover/c.png", big}},
         1,
         {},
         0});
    cases.push_back({"a file where a folder must be stops even an overwriting run",
                     {u"a.txt", u"img"},
                     true,
                     [](const fs::path& out, const fs::path&) { writeFile(out / "img", "f"); },
                     ErrorCause::CannotCreate,
                     Tree{{"img", "f"}},
                     0,
                     {},
                     0});
    cases.push_back(
        {"a folder where a file must be stops even an overwriting run",
         {u"a.txt"},
         true,
         [](const fs::path& out, const fs::path&) { fs::create_directories(out / "a.txt"); },
         ErrorCause::CannotCreate,
         Tree{},
         0,
         {},
         0});
    cases.push_back({"a link to a folder outside is never followed",
                     {u"img"},
                     true,
                     [](const fs::path& out, const fs::path& outside) {
                         fs::create_directory_symlink(outside, out / "img");
                     },
                     ErrorCause::CannotCreate,
                     Tree{},
                     0,
                     {},
                     0});
    cases.push_back({"a link in a file's place is replaced, never written through",
                     {u"a.txt"},
                     true,
                     [](const fs::path& out, const fs::path& outside) {
                         fs::create_symlink(outside / "victim", out / "a.txt");
                     },
                     {},
                     Tree{{"a.txt", "abc"}},
                     1,
                     {},
                     0});
    cases.push_back({"a cancelled run keeps the files it finished and no part of the next",
                     {},
                     false,
                     none,
                     {},
                     Tree{{"a.txt", "abc"}, {"img/b.png", "hi"}},
                     2,
                     // Asked once before the large third entry, then between its pieces.
                     [calls = 0](const SelectionOutcome& o) mutable {
                         return o.written.size() == 2 && ++calls == 2;
                     }});
    cases.push_back({"an archive cut short while extracting leaves no part of a file",
                     {},
                     false,
                     none,
                     ErrorCause::ArchiveTruncated,
                     Tree{{"a.txt", "abc"}, {"img/b.png", "hi"}},
                     2,
                     {},
                     400});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder dir;
        const fs::path out = dir / "out";
        const fs::path outside = dir / "outside";
        fs::create_directories(out);
        writeFile(outside / "victim", "victim");
        writeFile(dir / "skin.rdb", skin().bytes());
        try {
            c.prepare(out, outside);
        } catch (const fs::filesystem_error&) {
            continue;  // a host without links
        }
        ArchiveReader reader(dir / "skin.rdb");
        reader.readDirectory();
        if (c.cutFileTo > 0) {
            fs::resize_file(dir / "skin.rdb", static_cast<std::uintmax_t>(c.cutFileTo));
        }
        std::vector<std::u16string> unmatched;
        const auto picked = selectEntries(reader.entries(), c.names, unmatched);
        SelectionOutcome outcome;
        SelectionOptions options;
        options.overwrite = c.overwrite;
        if (c.cancelAfter) {
            options.cancelled = [&] { return c.cancelAfter(outcome); };
        }
        EXPECT_EQ(causeOf([&] { extractSelection(reader, picked, out, options, outcome); }),
                  c.error);
        EXPECT_EQ(treeContents(out), c.tree);  // no temporaries either
        EXPECT_EQ(outcome.written.size(), c.written);
        EXPECT_EQ(outcome.cancelled, static_cast<bool>(c.cancelAfter));
        EXPECT_EQ(treeContents(outside), (Tree{{"victim", "victim"}}));
    }
}

}  // namespace
}  // namespace tessapak::archive
