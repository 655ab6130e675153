// The archive layout itself: the worked example byte for byte, the header's
// tolerances on reading, and how names are stored.

#include <gtest/gtest.h>

#include "archive/archive_error.h"
#include "archive/display_text.h"
#include "archive/format/names.h"
#include "archive/format/rdb_format.h"
#include "archive/pack.h"
#include "archive/unpack.h"
#include "archive_test_support.h"

namespace tessapak::archive {
namespace {

namespace fs = std::filesystem;
using testing::bytes;
using testing::exampleArchive;
using testing::RawArchive;
using testing::RawEntry;
using testing::readFile;
using testing::TempFolder;
using testing::treeContents;
using testing::writeFile;

const std::string kMagicBytes = "531E98204F8542F0";

// The 105 bytes of the archive of a folder holding a.txt ("abc") and img\b.png ("hi").
std::string workedExample() {
    return kMagicBytes +
           bytes({0x02, 0, 0, 0, 0x24, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0}) +
           bytes({0x61, 0x00, 0x2E, 0x00, 0x74, 0x00, 0x78, 0x00, 0x74, 0x00, 0, 0,  //
                  0,    0,    0,    0,    0,    0,    0,    0,    0x03, 0,    0, 0, 0, 0, 0, 0}) +
           bytes({0x69, 0x00, 0x6D, 0x00, 0x67, 0x00, 0x5C, 0x00, 0x62, 0x00,
                  0x2E, 0x00, 0x70, 0x00, 0x6E, 0x00, 0x67, 0x00, 0,    0,  //
                  0x03, 0,    0,    0,    0,    0,    0,    0,    0x02, 0,
                  0,    0,    0,    0,    0,    0}) +
           "abchi";
}

TEST(WorkedExample, PackingTheFolderGivesTheDocumentedBytes) {
    TempFolder dir;
    writeFile(dir / "blue/a.txt", "abc");
    writeFile(dir / "blue/img/b.png", "hi");
    std::vector<std::pair<std::int64_t, std::int64_t>> calls;
    const auto count =
        packFolder(dir / "blue", dir / "blue.rdb",
                   [&](std::int64_t n, std::int64_t total) { calls.emplace_back(n, total); });

    EXPECT_EQ(count, 2);
    const std::string archive = readFile(dir / "blue.rdb");
    ASSERT_EQ(archive.size(), 105u);
    EXPECT_EQ(archive, workedExample());
    EXPECT_EQ(calls, (std::vector<std::pair<std::int64_t, std::int64_t>>{{1, 2}, {2, 2}}));
    // Every other test builds its archives with the tests' own writer.
    EXPECT_EQ(exampleArchive().bytes(), workedExample());
}

TEST(WorkedExample, ReadingTheDocumentedBytesGivesBothFiles) {
    TempFolder dir;
    writeFile(dir / "skin/blue.rdb", workedExample());
    fs::create_directory(dir / "out");

    ArchiveReader reader(dir / "skin/blue.rdb");
    reader.readDirectory();
    EXPECT_EQ(reader.header().EntryCount, 2);
    EXPECT_EQ(reader.header().DirOffset, 36);
    EXPECT_EQ(reader.header().DirSize, 64);
    ASSERT_EQ(reader.entries().size(), 2u);
    EXPECT_EQ(reader.entries()[0].Name, u"a.txt");
    EXPECT_EQ(reader.entries()[0].DataOffset, 0);
    EXPECT_EQ(reader.entries()[0].DataSize, 3);
    EXPECT_EQ(reader.entries()[1].Name, u"img\\b.png");
    EXPECT_EQ(reader.entries()[1].DataOffset, 3);
    EXPECT_EQ(reader.entries()[1].DataSize, 2);

    const fs::path target = reader.extractTo(dir / "out");
    EXPECT_EQ(target, dir / "out/blue");
    EXPECT_EQ(treeContents(target),
              (std::map<std::string, std::string>{{"a.txt", "abc"}, {"img/b.png", "hi"}}));
}

TEST(EmptyArchive, AFolderWithoutFilesPacksToTheBareHeader) {
    TempFolder dir;
    fs::create_directories(dir / "blue/empty/deeper");
    EXPECT_EQ(packFolder(dir / "blue", dir / "blue.rdb"), 0);

    const std::string archive = readFile(dir / "blue.rdb");
    EXPECT_EQ(archive, kMagicBytes + std::string(20, '\0').replace(4, 1, 1, '\x24'));

    ArchiveReader reader(dir / "blue.rdb");
    reader.readDirectory();
    EXPECT_TRUE(reader.entries().empty());
    fs::create_directory(dir / "out");
    const fs::path target = reader.extractTo(dir / "out");
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_TRUE(fs::is_empty(target));
}

TEST(Magic, LowerCaseLettersAreAccepted) {
    TempFolder dir;
    std::string archive = workedExample();
    archive.replace(0, 16, "531e98204f8542f0");
    writeFile(dir / "blue.rdb", archive);
    fs::create_directory(dir / "out");
    EXPECT_EQ(treeContents(unpackArchive(dir / "blue.rdb", dir / "out")).size(), 2u);
}

TEST(Magic, AnyOtherChangeInTheFirstSixteenBytesRejectsTheFile) {
    TempFolder dir;
    for (std::size_t i = 0; i < 16; ++i) {
        std::string archive = workedExample();
        archive[i] = static_cast<char>(archive[i] ^ 0x01);
        writeFile(dir / "x.rdb", archive);
        try {
            ArchiveReader reader(dir / "x.rdb");
            ADD_FAILURE() << "byte " << i << " changed, still accepted";
        } catch (const ArchiveError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::NotAnArchive) << i;
            EXPECT_EQ(e.cause(), ErrorCause::BadMagic) << i;
        }
    }
}

TEST(Magic, AFileShorterThanTheMagicIsNotAnArchive) {
    TempFolder dir;
    writeFile(dir / "short.rdb", "531E98204F85");
    try {
        ArchiveReader reader(dir / "short.rdb");
        ADD_FAILURE() << "accepted";
    } catch (const ArchiveError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::NotAnArchive);
    }
}

TEST(HeaderReading, NonZeroReservedWordsAreIgnored) {
    TempFolder dir;
    RawArchive raw = exampleArchive();
    raw.reserved = 0xDEADBEEF;
    writeFile(dir / "blue.rdb", raw.bytes());
    fs::create_directory(dir / "out");
    EXPECT_EQ(treeContents(unpackArchive(dir / "blue.rdb", dir / "out")),
              (std::map<std::string, std::string>{{"a.txt", "abc"}, {"img/b.png", "hi"}}));
}

TEST(HeaderReading, ADirectoryOffsetOtherThan36IsHonoured) {
    TempFolder dir;
    RawArchive raw = exampleArchive();
    raw.gap = std::string(12, '\x7F');
    raw.dirOffset = 48;
    writeFile(dir / "blue.rdb", raw.bytes());
    fs::create_directory(dir / "out");
    EXPECT_EQ(treeContents(unpackArchive(dir / "blue.rdb", dir / "out")),
              (std::map<std::string, std::string>{{"a.txt", "abc"}, {"img/b.png", "hi"}}));
}

TEST(NameStorage, ChineseNamesAreStoredAsTheirUtf16CodeUnits) {
    const auto stored = storedNameFor(fs::path(u8"皮肤.png"));
    ASSERT_TRUE(stored.has_value());
    std::string encoded;
    RdbEntry entry;
    entry.Name = *stored;
    appendEntry(encoded, entry);
    EXPECT_EQ(encoded.substr(0, 14), bytes({0xAE, 0x76, 0xA4, 0x80, 0x2E, 0x00, 0x70, 0x00, 0x6E,
                                            0x00, 0x67, 0x00, 0x00, 0x00}));
    EXPECT_EQ(encoded.size(), 2u * 6 + 18);
}

TEST(NameStorage, CharactersBeyondTheBasicPlaneTakeASurrogatePair) {
    const auto stored = storedNameFor(fs::path(u8"\U0001F600.png"));
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(*stored, (std::u16string{0xD83D, 0xDE00, u'.', u'p', u'n', u'g'}));
    EXPECT_EQ(displayName(*stored), "\xF0\x9F\x98\x80.png");
}

TEST(EntryDecoding, ANameWithoutTerminatorOrCutShortWordsIsReported) {
    std::string encoded;
    RdbEntry entry;
    entry.Name = u"ab";
    entry.DataSize = 7;
    appendEntry(encoded, entry);
    const auto* data = reinterpret_cast<const std::uint8_t*>(encoded.data());

    RdbEntry decoded;
    std::size_t pos = 0;
    ASSERT_EQ(decodeEntry({data, encoded.size()}, pos, decoded), EntryDecodeFailure::None);
    EXPECT_EQ(decoded.Name, u"ab");
    EXPECT_EQ(decoded.DataSize, 7);
    EXPECT_EQ(pos, encoded.size());

    pos = 0;
    EXPECT_EQ(decodeEntry({data, 4}, pos, decoded), EntryDecodeFailure::NoTerminator);
    pos = 0;
    EXPECT_EQ(decodeEntry({data, encoded.size() - 1}, pos, decoded), EntryDecodeFailure::CutShort);
    EXPECT_EQ(pos, 0u);
}

}  // namespace
}  // namespace tessapak::archive
