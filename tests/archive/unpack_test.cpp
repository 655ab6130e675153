// Reading archives: naming the new folder, writing the entries, and refusing
// damaged or hostile archives before anything is created.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <functional>
#include <map>
#include <thread>

#include "archive/archive_error.h"
#include "archive/format/names.h"
#include "archive/unpack.h"
#include "archive_test_support.h"

namespace tessapak::archive {
namespace {

namespace fs = std::filesystem;
using testing::exampleArchive;
using testing::folderNames;
using testing::RawArchive;
using testing::RawEntry;
using testing::readFile;
using testing::TempFolder;
using testing::treeContents;
using testing::writeFile;

TEST(BaseName, IsTheFileNameCutBeforeItsLastDot) {
    EXPECT_EQ(baseNameFor("/skins/blue.rdb"), fs::path("blue"));
    EXPECT_EQ(baseNameFor("/skins/a.b.rdb"), fs::path("a.b"));
    EXPECT_EQ(baseNameFor("/skins/blue.dat"), fs::path("blue"));
    EXPECT_EQ(baseNameFor("/skins.d/blue"), fs::path("blue"));
    EXPECT_EQ(baseNameFor("/skins/.rdb"), fs::path(".rdb"));
    EXPECT_EQ(baseNameFor("/skins/..rdb"), fs::path("..rdb"));
    EXPECT_EQ(baseNameFor("/skins/...rdb"), fs::path("...rdb"));
}

TEST(TargetFolder, TakenNamesGetTheNextNumberedSuffix) {
    TempFolder dir;
    EXPECT_EQ(chooseTargetFolder(dir.path(), "blue"), dir / "blue");
    fs::create_directory(dir / "blue");
    EXPECT_EQ(chooseTargetFolder(dir.path(), "blue"), dir / "blue (1)");
    fs::create_directory(dir / "blue (1)");
    EXPECT_EQ(chooseTargetFolder(dir.path(), "blue"), dir / "blue (2)");
    EXPECT_EQ(folderNames(dir.path()), (std::vector<std::string>{"blue", "blue (1)"}));
}

#ifndef _WIN32  // symbolic links need privileges on Windows
TEST(TargetFolder, AFileOrDanglingLinkOfThatNameMakesItTakenToo) {
    TempFolder dir;
    writeFile(dir / "blue", "a file");
    EXPECT_EQ(chooseTargetFolder(dir.path(), "blue"), dir / "blue (1)");
    fs::create_symlink(dir / "nowhere", dir / "blue (1)");
    EXPECT_EQ(chooseTargetFolder(dir.path(), "blue"), dir / "blue (2)");
}
#endif

TEST(Extraction, EachRunCreatesANewFolderBesideTheEarlierOnes) {
    TempFolder dir;
    writeFile(dir / "blue.rdb", exampleArchive().bytes());
    EXPECT_EQ(unpackArchive(dir / "blue.rdb", dir.path()), dir / "blue");
    EXPECT_EQ(unpackArchive(dir / "blue.rdb", dir.path()), dir / "blue (1)");
    EXPECT_EQ(treeContents(dir / "blue (1)"), treeContents(dir / "blue"));
}

TEST(Extraction, AnArchiveNamedWithoutADotUnpacksUnderItsWholeName) {
    TempFolder dir;
    writeFile(dir / "skins/blue", exampleArchive().bytes());
    fs::create_directory(dir / "out");
    EXPECT_EQ(unpackArchive(dir / "skins/blue", dir / "out"), dir / "out/blue");
    // Beside itself, the archive file takes the plain name.
    EXPECT_EQ(unpackArchive(dir / "skins/blue", dir / "skins"), dir / "skins/blue (1)");
}

TEST(Extraction, TheLaterOfTwoEntriesWithTheSameNameWins) {
    TempFolder dir;
    RawArchive raw;
    raw.entries = {{u"img\\a.txt", "the longer, earlier entry"}, {u"img\\a.txt", "later"}};
    writeFile(dir / "dup.rdb", raw.bytes());
    const fs::path target = unpackArchive(dir / "dup.rdb", dir.path());
    EXPECT_EQ(readFile(target / "img/a.txt"), "later");
}

TEST(Extraction, EmptyEntriesBecomeEmptyFiles) {
    TempFolder dir;
    RawArchive raw;
    raw.entries = {{u"empty", ""}, {u"img\\also-empty", ""}, {u"last", "x"}, {u"end", ""}};
    writeFile(dir / "e.rdb", raw.bytes());
    const fs::path target = unpackArchive(dir / "e.rdb", dir.path());
    EXPECT_EQ(treeContents(target),
              (std::map<std::string, std::string>{
                  {"empty", ""}, {"img/also-empty", ""}, {"last", "x"}, {"end", ""}}));
}

TEST(Extraction, DataIsFoundWhereverTheOffsetsPointAndWhateverItsSize) {
    TempFolder dir;
    std::string big(3 << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 7 + i / 4096);
    }
    // Data stored out of order, with a gap, and one entry past the copy buffer.
    const std::string data = "0123456789" + big + "gap" + "end";
    const auto afterBig = static_cast<std::int32_t>(10 + big.size());
    RawArchive raw;
    raw.entries = {{u"second", data, 5, 5},
                   {u"first", "", 0, 5},
                   {u"after-big", "", afterBig + 3, 3},
                   {u"big", "", 10, static_cast<std::int32_t>(big.size())}};
    writeFile(dir / "o.rdb", raw.bytes());
    ArchiveReader reader(dir / "o.rdb");
    reader.readDirectory();
    reader.checkData();
    const fs::path target = reader.extractTo(dir.path());
    EXPECT_EQ(readFile(target / "first"), "01234");
    EXPECT_EQ(readFile(target / "second"), "56789");
    EXPECT_EQ(readFile(target / "after-big"), "end");
    EXPECT_TRUE(readFile(target / "big") == big);
}

TEST(Extraction, TheArchiveIsOnlyRead) {
    TempFolder dir;
    const std::string bytes = exampleArchive().bytes();
    writeFile(dir / "blue.rdb", bytes);
    const auto readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    fs::permissions(dir / "blue.rdb", readOnly);
    const auto mtime = fs::last_write_time(dir / "blue.rdb");
    unpackArchive(dir / "blue.rdb", dir.path());
    EXPECT_EQ(readFile(dir / "blue.rdb"), bytes);
    EXPECT_EQ(fs::last_write_time(dir / "blue.rdb"), mtime);
    fs::permissions(dir / "blue.rdb", fs::perms::owner_write, fs::perm_options::add);
}

TEST(Extraction, ProgressIsReportedOnceBeforeEachEntry) {
    TempFolder dir;
    writeFile(dir / "blue.rdb", exampleArchive().bytes());
    std::vector<std::pair<std::int64_t, std::int64_t>> calls;
    unpackArchive(dir / "blue.rdb", dir.path(),
                  [&](std::int64_t n, std::int64_t total) { calls.emplace_back(n, total); });
    EXPECT_EQ(calls, (std::vector<std::pair<std::int64_t, std::int64_t>>{{1, 2}, {2, 2}}));
}

// Eight folders of entries, so that every worker gets some: a run that
// succeeds, then one whose archive lost its second half after the directory
// was read.
TEST(Extraction, WorkersReportProgressInOrderOnTheCallingThreadAndTheFirstFailureEndsTheRun) {
    TempFolder dir;
    RawArchive raw;
    std::map<std::string, std::string> expected;
    for (int i = 0; i < 160; ++i) {
        const std::string folder = "f" + std::to_string(i % 8);
        const std::string name = std::to_string(i) + ".bin";
        const std::string data(static_cast<std::size_t>(1 + i * 97 % 3000), static_cast<char>(i));
        std::u16string stored;
        for (const char c : folder + "\\" + name) {
            stored.push_back(static_cast<char16_t>(c));
        }
        raw.entries.push_back(RawEntry(stored, data));
        expected[folder + "/" + name] = data;
    }
    const std::string bytes = raw.bytes();
    writeFile(dir / "blue.rdb", bytes);
    fs::create_directory(dir / "out");

    const auto caller = std::this_thread::get_id();
    std::vector<std::int64_t> numbers;
    bool onCaller = true;
    const ProgressCallback progress = [&](std::int64_t n, std::int64_t total) {
        EXPECT_EQ(total, 160);
        onCaller = onCaller && std::this_thread::get_id() == caller;
        numbers.push_back(n);
    };
    const fs::path target = unpackArchive(dir / "blue.rdb", dir / "out", progress);
    EXPECT_EQ(treeContents(target), expected);
    EXPECT_TRUE(onCaller);
    ASSERT_EQ(numbers.size(), 160U);
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        EXPECT_EQ(numbers[i], static_cast<std::int64_t>(i) + 1);
    }

    numbers.clear();
    ArchiveReader reader(dir / "blue.rdb");
    reader.readDirectory();
    fs::resize_file(dir / "blue.rdb", bytes.size() / 2);
    try {
        reader.extractTo(dir / "out", progress);
        ADD_FAILURE() << "extracted";
    } catch (const ArchiveError& e) {
        EXPECT_EQ(e.cause(), ErrorCause::ArchiveTruncated) << e.what();
    }
    EXPECT_TRUE(onCaller);
    EXPECT_LT(numbers.size(), 160U);
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        EXPECT_EQ(numbers[i], static_cast<std::int64_t>(i) + 1);
    }
    EXPECT_EQ(folderNames(dir / "out"), (std::vector<std::string>{"blue", "blue (1)"}));
    EXPECT_EQ(folderNames(dir.path()), (std::vector<std::string>{"blue.rdb", "out"}));
}

// Writes bytes as an archive, expects unpacking into a fresh folder to fail
// with the given cause, and checks that nothing at all was created.
class Rejection : public ::testing::Test {
  protected:
    ArchiveError rejected(const std::string& bytes, ErrorKind kind, ErrorCause cause) {
        writeFile(dir / "bad.rdb", bytes);
        fs::create_directory(dir / "out");
        const auto before = folderNames(dir.path());
        try {
            unpackArchive(dir / "bad.rdb", dir / "out");
            ADD_FAILURE() << "accepted";
        } catch (const ArchiveError& e) {
            EXPECT_EQ(e.kind(), kind) << e.what();
            EXPECT_EQ(e.cause(), cause) << e.what();
            EXPECT_EQ(e.path(), dir / "bad.rdb");
            EXPECT_TRUE(fs::is_empty(dir / "out"));
            EXPECT_EQ(folderNames(dir.path()), before);
            EXPECT_EQ(readFile(dir / "bad.rdb"), bytes);
            fs::remove(dir / "out");
            return e;
        }
        fs::remove_all(dir / "out");
        return ArchiveError(kind, cause, {}, "");
    }

    ArchiveError damaged(const std::string& bytes, ErrorCause cause) {
        return rejected(bytes, ErrorKind::DamagedArchive, cause);
    }

    TempFolder dir;
};

TEST_F(Rejection, ANegativeEntryCount) {
    RawArchive raw = exampleArchive();
    raw.entryCount = -1;
    damaged(raw.bytes(), ErrorCause::BadHeader);
    raw.entryCount = std::numeric_limits<std::int32_t>::min();
    damaged(raw.bytes(), ErrorCause::BadHeader);
}

TEST_F(Rejection, ANegativeDirectoryOffsetOrSize) {
    RawArchive raw = exampleArchive();
    raw.dirOffset = -36;
    damaged(raw.bytes(), ErrorCause::BadHeader);
    raw = exampleArchive();
    raw.dirSize = -64;
    damaged(raw.bytes(), ErrorCause::BadHeader);
}

TEST_F(Rejection, AHeaderCutShort) {
    const std::string whole = exampleArchive().bytes();
    for (std::size_t length : {16u, 20u, 35u}) {
        damaged(whole.substr(0, length), ErrorCause::ArchiveTruncated);
    }
}

TEST_F(Rejection, ADirectoryCutShort) {
    const std::string whole = exampleArchive().bytes();
    for (std::size_t length : {36u, 50u, 63u, 90u, 99u}) {
        damaged(whole.substr(0, length), ErrorCause::ArchiveTruncated);
    }
}

TEST_F(Rejection, DataCutShort) {
    const std::string whole = exampleArchive().bytes();
    const auto e = damaged(whole.substr(0, whole.size() - 1), ErrorCause::ArchiveTruncated);
    EXPECT_NE(std::string(e.what()).find("img/b.png"), std::string::npos) << e.what();
}

TEST_F(Rejection, MoreEntriesThanTheDirectoryHolds) {
    RawArchive raw = exampleArchive();
    raw.entryCount = 3;
    damaged(raw.bytes(), ErrorCause::ArchiveTruncated);
    raw.entryCount = 40000;
    damaged(raw.bytes(), ErrorCause::ArchiveTruncated);
}

TEST_F(Rejection, EntriesThatRunPastTheDirectorySize) {
    RawArchive raw = exampleArchive();
    raw.dirSize = 63;
    damaged(raw.bytes(), ErrorCause::ArchiveTruncated);
}

TEST_F(Rejection, ANameWithoutTerminator) {
    RawArchive raw;
    raw.entries = {{u"abcdefghijklmnopqrstuvwxyz", "x"}};
    raw.dirSize = 40;  // ends inside the name
    damaged(raw.bytes(), ErrorCause::ArchiveTruncated);
}

TEST_F(Rejection, OffsetsWhoseSumsOverflow) {
    RawArchive raw = exampleArchive();
    raw.dirOffset = 0x7FFFFFF0;
    damaged(raw.bytes(), ErrorCause::BadHeader);

    raw = exampleArchive();
    raw.entries[1].dataOffset = 0x7FFFFFF0;
    damaged(raw.bytes(), ErrorCause::BadHeader);

    raw = exampleArchive();
    raw.entries[1].dataOffset = 1;
    raw.entries[1].dataSize = 0x7FFFFFFF;
    damaged(raw.bytes(), ErrorCause::BadHeader);
}

TEST_F(Rejection, NegativeDataOffsetOrSize) {
    RawArchive raw = exampleArchive();
    raw.entries[1].dataOffset = -3;
    damaged(raw.bytes(), ErrorCause::BadHeader);
    raw = exampleArchive();
    raw.entries[0].dataSize = -1;
    damaged(raw.bytes(), ErrorCause::BadHeader);
}

// Entries sharing bytes would let a small archive unpack into a huge tree;
// empty entries share nothing wherever they point.
TEST_F(Rejection, DataRangesThatOverlap) {
    const std::string data(100, 'x');
    const struct {
        std::vector<std::pair<std::int32_t, std::int32_t>> ranges;  // offset, size
        const char* named;                                          // the entry blamed
    } cases[] = {
        {{{0, 100}, {0, 100}}, "entry 2 (b)"},
        {{{50, 50}, {0, 51}}, "entry 1 (a)"},
        {{{0, 10}, {20, 10}, {5, 1}}, "entry 3 (c)"},
        {{{0, 0}, {0, 60}, {30, 0}, {60, 40}, {99, 1}}, "entry 5 (e)"},
    };
    for (const auto& c : cases) {
        RawArchive raw;
        for (std::size_t i = 0; i < c.ranges.size(); ++i) {
            raw.entries.push_back({std::u16string(1, static_cast<char16_t>(u'a' + i)),
                                   i == 0 ? data : "", c.ranges[i].first, c.ranges[i].second});
        }
        const auto e = damaged(raw.bytes(), ErrorCause::BadHeader);
        EXPECT_NE(std::string(e.what()).find(std::string(c.named) + ": its data overlaps"),
                  std::string::npos)
            << e.what();
    }
}

TEST_F(Rejection, DataThatPointsPastTheEnd) {
    RawArchive raw = exampleArchive();
    raw.entries[0].dataOffset = 1000;
    damaged(raw.bytes(), ErrorCause::ArchiveTruncated);
}

TEST_F(Rejection, EveryUnsafeNameEvenAfterSafeEntries) {
    const std::vector<std::u16string> unsafe = {
        u"..\\..\\evil.txt",
        u"img\\..\\..\\evil.txt",
        u"\\etc\\evil",
        u"C:\\evil.txt",
        u"a:evil",
        u"img\\\\evil",
        u"",
        u"img\\",
        u".\\evil",
        u"evil\u0007",
        u"../evil",
        u"img/evil",
        std::u16string{u'e', 0xD800},
    };
    for (const auto& name : unsafe) {
        RawArchive raw = exampleArchive();
        raw.entries.emplace_back(name, "evil");
        damaged(raw.bytes(), ErrorCause::UnsafeName);
    }
    EXPECT_FALSE(fs::exists(dir / "evil.txt"));
    EXPECT_FALSE(fs::exists(dir.path().parent_path() / "evil.txt"));
}

TEST_F(Rejection, ANameTooLongForTheHostFileSystem) {
    // Only one component's length is bounded: folders are made relative to
    // their parent, so a deep path unpacks (see DeepTrees).
    RawArchive raw = exampleArchive();
    std::u16string longName = u"img\\";
    longName.append(256, u'n');
    raw.entries.emplace_back(longName, "x");
    rejected(raw.bytes(), ErrorKind::LimitExceeded, ErrorCause::NameNotRepresentable);
    if (hostNameRules() == NameRules::Posix) {
        // 86 units, but 258 bytes of UTF-8.
        // Appended: GCC 12 at -O2 warns falsely (-Wmaybe-uninitialized) on "..." + string.
        std::u16string wideName = u"img\\";
        wideName.append(86, u'皮');
        raw = exampleArchive();
        raw.entries.emplace_back(wideName, "x");
        rejected(raw.bytes(), ErrorKind::LimitExceeded, ErrorCause::NameNotRepresentable);
    }
}

TEST_F(Rejection, ANameUsedForAFileAndAFolder) {
    RawArchive raw;
    raw.entries = {{u"img", "a file"}, {u"img\\b.png", "hi"}};
    damaged(raw.bytes(), ErrorCause::UnsafeName);
    raw.entries = {{u"img\\b.png", "hi"}, {u"img", "a file"}};
    damaged(raw.bytes(), ErrorCause::UnsafeName);
    // "img!x" sorts between "img" and the names below "img\\".
    raw.entries = {{u"img!x", "x"}, {u"img\\b.png", "hi"}, {u"img", "a file"}};
    damaged(raw.bytes(), ErrorCause::UnsafeName);
}

TEST_F(Rejection, AFileThatDoesNotStartWithTheMagic) {
    std::string bytes = exampleArchive().bytes();
    bytes[0] = 'X';
    rejected(bytes, ErrorKind::NotAnArchive, ErrorCause::BadMagic);
    rejected("", ErrorKind::NotAnArchive, ErrorCause::BadMagic);
}

TEST(ArchiveOpening, AMissingArchiveIsReportedAndNotCreated) {
    TempFolder dir;
    try {
        ArchiveReader reader(dir / "missing.rdb");
        ADD_FAILURE() << "opened";
    } catch (const ArchiveError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::FileSystem);
        EXPECT_EQ(e.cause(), ErrorCause::ArchiveMissing);
        EXPECT_EQ(e.path(), dir / "missing.rdb");
        EXPECT_EQ(std::string(e.what()).rfind((dir / "missing.rdb").string() + ": ", 0), 0u);
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(ArchiveOpening, AFifoOrAFolderIsRefusedWithoutWaiting) {
    TempFolder dir;
#ifndef _WIN32  // no FIFOs on Windows
    ASSERT_EQ(::mkfifo((dir / "pipe.rdb").c_str(), 0600), 0);
    EXPECT_THROW(ArchiveReader reader(dir / "pipe.rdb"), ArchiveError);
#endif
    fs::create_directory(dir / "folder.rdb");
    try {
        ArchiveReader reader(dir / "folder.rdb");
        ADD_FAILURE() << "opened";
    } catch (const ArchiveError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::FileSystem);
    }
}

TEST(ArchiveOpening, AMissingOutputFolderFailsAndCreatesNothing) {
    TempFolder dir;
    writeFile(dir / "blue.rdb", exampleArchive().bytes());
    ArchiveReader reader(dir / "blue.rdb");
    reader.readDirectory();
    try {
        reader.extractTo(dir / "nowhere");
        ADD_FAILURE() << "extracted";
    } catch (const ArchiveError& e) {
        EXPECT_EQ(e.cause(), ErrorCause::OutputFolderMissing);
    }
    EXPECT_EQ(folderNames(dir.path()), (std::vector<std::string>{"blue.rdb"}));
}

}  // namespace
}  // namespace tessapak::archive
