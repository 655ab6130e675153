// The folder walk: which files it lists, in which order, and what it sums.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <optional>

#include "archive/archive_error.h"
#include "archive/folder_walk.h"
#include "archive/pack.h"
#include "archive_test_support.h"
#ifndef _WIN32
#include "unprivileged_posix.h"
#endif

namespace tessapak::archive {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;
using testing::writeFile;

std::vector<std::u16string> walk(const fs::path& root, const std::vector<fs::path>& excluded = {}) {
    PackList list;
    ListFiles(root, list, excluded);
    EXPECT_EQ(list.FileNames.size(), static_cast<std::size_t>(list.FileCount));
    EXPECT_EQ(list.FileSizes.size(), static_cast<std::size_t>(list.FileCount));
    return list.FileNames;
}

TEST(WalkOrder, FilesComeFirstThenEachSubfolderWalkedCompletely) {
    TempFolder dir;
    writeFile(dir / "a.txt", "");
    writeFile(dir / "img/b.png", "");
    writeFile(dir / "img/hover/c.png", "");
    writeFile(dir / "img/z.png", "");
    writeFile(dir / "z.txt", "");
    writeFile(dir / "data/d.txt", "");
    EXPECT_EQ(walk(dir.path()),
              (std::vector<std::u16string>{u"a.txt", u"z.txt", u"data\\d.txt", u"img\\b.png",
                                           u"img\\z.png", u"img\\hover\\c.png"}));
}

#ifndef _WIN32  // needs names that differ only in letter case
TEST(WalkOrder, NamesAreOrderedByUpperCasedCodeUnitsWhateverTheFileSystemSays) {
    TempFolder dir;
    // Created out of order; "_" (0x5F) sorts after upper-case letters but
    // before lower-case ones, so only the upper-cased order puts it last.
    for (const char* name : {"_x.txt", "皮肤.png", "b.txt", "B2.txt", "a.txt", "A.txt", "é.txt",
                             "É.txt", "10.txt", "9.txt"}) {
        writeFile(dir / name, "");
    }
    EXPECT_EQ(walk(dir.path()),
              (std::vector<std::u16string>{u"10.txt", u"9.txt", u"A.txt", u"a.txt", u"b.txt",
                                           u"B2.txt", u"_x.txt", u"É.txt", u"é.txt", u"皮肤.png"}));
}
#endif

TEST(WalkOrder, SubfoldersFollowTheSameOrder) {
    TempFolder dir;
    for (const char* folder : {"zeta", "Alpha", "beta", "_under"}) {
        writeFile(dir / folder / "f", "");
    }
    EXPECT_EQ(walk(dir.path()),
              (std::vector<std::u16string>{u"Alpha\\f", u"beta\\f", u"zeta\\f", u"_under\\f"}));
}

TEST(WalkSums, DirectoryTotalGrowsByTwiceTheNameLengthPlus18) {
    TempFolder dir;
    writeFile(dir / "a.txt", "abc");
    PackList list;
    ListFiles(dir.path(), list);
    EXPECT_EQ(list.FileCount, 1);
    EXPECT_EQ(list.DirTotal, 28);
    EXPECT_EQ(list.FileSizes, (std::vector<std::int64_t>{3}));

    writeFile(dir / "img/b.png", "hi");
    list.reset();
    ListFiles(dir.path(), list);
    EXPECT_EQ(list.FileCount, 2);
    EXPECT_EQ(list.DirTotal, 64);
    EXPECT_EQ(list.FileSizes, (std::vector<std::int64_t>{3, 2}));
}

TEST(WalkSums, ATrailingSeparatorOnTheFolderChangesNothing) {
    TempFolder dir;
    writeFile(dir / "a.txt", "abc");
    writeFile(dir / "img/b.png", "hi");
    PackList plain;
    ListFiles(dir.path(), plain);
    PackList slashed;
    ListFiles(dir.path().string() + "/", slashed);
    EXPECT_EQ(plain.FileNames, slashed.FileNames);
    EXPECT_EQ(plain.DirTotal, slashed.DirTotal);
}

TEST(WalkContents, HiddenFilesAndFoldersAreListed) {
    TempFolder dir;
    writeFile(dir / ".hidden", "x");
    writeFile(dir / ".config/settings", "y");
    EXPECT_EQ(walk(dir.path()), (std::vector<std::u16string>{u".hidden", u".config\\settings"}));
}

#ifndef _WIN32  // no FIFOs on Windows
TEST(WalkContents, FifosAndDevicesAreSkipped) {
    TempFolder dir;
    writeFile(dir / "a.txt", "");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    fs::create_symlink("/dev/null", dir / "null");
    EXPECT_EQ(walk(dir.path()), (std::vector<std::u16string>{u"a.txt"}));
}
#endif

TEST(WalkContents, EmptyFoldersAddNothing) {
    TempFolder dir;
    fs::create_directories(dir / "a/b/c");
    fs::create_directories(dir / "d");
    PackList list;
    ListFiles(dir.path(), list);
    EXPECT_EQ(list.FileCount, 0);
    EXPECT_EQ(list.DirTotal, 0);
}

// Both callers refuse such a root with their own words, so the kind of
// refusal must show without parsing the message.
TEST(WalkContents, ARootThatIsMissingOrNotAFolderIsRefusedSayingWhich) {
    TempFolder dir;
    writeFile(dir / "plain.txt", "x");
    const struct {
        fs::path root;
        std::errc code;
        const char* detail;
    } cases[] = {
        {dir / "missing", std::errc::no_such_file_or_directory, "there is no folder of that name"},
        {dir / "plain.txt/below", std::errc::no_such_file_or_directory,
         "there is no folder of that name"},
        {dir / "plain.txt", std::errc::not_a_directory, "it is not a folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.root.string());
        PackList list;
        try {
            ListFiles(c.root, list);
            ADD_FAILURE() << "no error";
        } catch (const ArchiveError& error) {
            EXPECT_EQ(error.kind(), ErrorKind::FileSystem);
            EXPECT_EQ(error.cause(), ErrorCause::CannotOpen);
            EXPECT_EQ(error.path(), c.root);
            EXPECT_EQ(error.code(), c.code);
            EXPECT_EQ(error.detail(), c.detail);
        }
        EXPECT_EQ(list.FileCount, 0);
    }
}

#ifndef _WIN32  // symbolic links need privileges on Windows
TEST(WalkLinks, LinksToFilesAndFoldersAreWalkedLikeTheirTargets) {
    TempFolder dir;
    writeFile(dir / "elsewhere/e.txt", "12345");
    writeFile(dir / "root/a.txt", "");
    fs::create_directory_symlink(dir / "elsewhere", dir / "root/linked");
    fs::create_symlink(dir / "elsewhere/e.txt", dir / "root/e-link.txt");
    fs::create_symlink(dir / "nowhere", dir / "root/dangling");
    PackList list;
    ListFiles(dir / "root", list);
    EXPECT_EQ(list.FileNames,
              (std::vector<std::u16string>{u"a.txt", u"e-link.txt", u"linked\\e.txt"}));
    EXPECT_EQ(list.FileSizes, (std::vector<std::int64_t>{0, 5, 5}));
}
#endif

#ifndef _WIN32  // symbolic links need privileges on Windows
TEST(WalkLinks, ALinkBackUpTheTreeIsNotFollowedForever) {
    TempFolder dir;
    writeFile(dir / "root/a.txt", "");
    writeFile(dir / "root/sub/b.txt", "");
    fs::create_directory_symlink("..", dir / "root/sub/up");
    fs::create_directory_symlink(".", dir / "root/sub/self");
    EXPECT_EQ(walk(dir / "root"), (std::vector<std::u16string>{u"a.txt", u"sub\\b.txt"}));
}
#endif

TEST(WalkExclusions, TheOutputArchiveAndItsTemporaryFileAreLeftOut) {
    TempFolder dir;
    writeFile(dir / "a.txt", "");
    writeFile(dir / "blue.rdb", "old archive");
    writeFile(temporaryPathFor(dir / "blue.rdb"), "stale");
    // Another spelling of the same path is recognised too.
    const fs::path output = dir.path() / "." / "blue.rdb";
    EXPECT_EQ(walk(dir.path(), {output}), (std::vector<std::u16string>{u"a.txt"}));
    EXPECT_EQ(walk(dir.path(), excludedPathsFor(output)), (std::vector<std::u16string>{u"a.txt"}));
}

#ifndef _WIN32  // descriptor limits are POSIX
TEST(WalkFailures, AFolderThatCannotBeOpenedEndsTheWalkInsteadOfBeingLeftOut) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizer runtime needs descriptors of its own while reporting";
#endif
    TempFolder dir;
    fs::path deep = dir / "root";
    for (int i = 0; i < 20; ++i) {
        deep /= std::string("d").append(std::to_string(i));
    }
    writeFile(deep / "f", "");
    // With only a few descriptors left the deeper folders cannot be opened;
    // unlike a permission, this holds for root too.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
    const auto used = std::distance(fs::directory_iterator("/proc/self/fd"), {});
    rlimit low = old;
    low.rlim_cur = static_cast<rlim_t>(used + 4);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    PackList list;
    std::optional<ArchiveError> error;
    try {
        ListFiles(dir / "root", list);
    } catch (const ArchiveError& e) {
        error = e;
    }
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &old), 0);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind(), ErrorKind::FileSystem);
    EXPECT_EQ(error->cause(), ErrorCause::CannotOpen);
    EXPECT_EQ(error->path().string().rfind((dir / "root/d0").string(), 0), 0u) << error->what();
}
#endif

#ifndef _WIN32  // permission bits are POSIX
TEST(WalkFailures, AFolderThatCannotBeListedEndsTheWalk) {
    testing::runUnprivileged([] {
        TempFolder dir;
        writeFile(dir / "root/locked/f", "");
        fs::permissions(dir / "root/locked", fs::perms::none);
        PackList list;
        EXPECT_THROW(ListFiles(dir / "root", list), ArchiveError);
        fs::permissions(dir / "root/locked", fs::perms::owner_all);
    });
}
#endif

#ifndef _WIN32  // names Windows cannot hold
TEST(WalkNames, AFileNameWithABackslashEndsTheWalkNamingTheFile) {
    TempFolder dir;
    writeFile(dir / "img/a\\b.png", "");
    PackList list;
    try {
        ListFiles(dir.path(), list);
        ADD_FAILURE() << "listed";
    } catch (const ArchiveError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::LimitExceeded);
        EXPECT_EQ(e.cause(), ErrorCause::NameNotRepresentable);
        EXPECT_EQ(e.path(), dir / "img/a\\b.png");
    }
}
#endif

#ifndef _WIN32  // names Windows cannot hold
TEST(WalkNames, BytesThatAreNotUtf8EndTheWalkEvenInAFolderName) {
    TempFolder dir;
    writeFile(dir / "ok.txt", "");
    fs::create_directory(dir / "empty\xFF");  // holds nothing, so stores nothing
    writeFile(dir / "bad\xFE" / "inner.png", "");
    PackList list;
    try {
        ListFiles(dir.path(), list);
        ADD_FAILURE() << "listed";
    } catch (const ArchiveError& e) {
        EXPECT_EQ(e.cause(), ErrorCause::NameNotRepresentable);
        EXPECT_EQ(e.path(), dir / "bad\xFE" / "inner.png");
        EXPECT_NE(std::string(e.what()).find("UTF-8"), std::string::npos) << e.what();
    }
}
#endif

#ifndef _WIN32  // names Windows cannot hold
TEST(WalkNames, ANameNoUnpackerWouldAcceptIsRefused) {
    TempFolder dir;
    writeFile(dir / "a:b.txt", "");
    PackList list;
    EXPECT_THROW(ListFiles(dir.path(), list), ArchiveError);
}
#endif

}  // namespace
}  // namespace tessapak::archive
