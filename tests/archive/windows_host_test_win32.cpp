// What only Windows has: file attributes the walk obeys, archives that other
// programs hold open, and paths past 260 characters.

// windows.h first: the others build on it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/archive_error.h"
#include "archive/folder_walk.h"
#include "archive/format/names.h"
#include "archive/pack.h"
#include "archive/unpack.h"
#include "archive_test_support.h"

namespace tessapak::archive {
namespace {

namespace fs = std::filesystem;
using testing::folderNames;
using testing::RawArchive;
using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

void setAttributes(const fs::path& path, DWORD attributes) {
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), attributes)) << path;
}

TEST(WindowsWalk, HiddenAndReadOnlyEntriesArePackedSystemOnesAreNot) {
    TempFolder dir;
    const fs::path skin = dir / "skin";
    for (const char* name : {"plain.txt", "hidden.txt", "readonly.txt", "system.txt",
                             "hidden folder/a.txt", "system folder/b.txt"}) {
        writeFile(skin / name, "x");
    }
    setAttributes(skin / "hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    setAttributes(skin / "readonly.txt", FILE_ATTRIBUTE_READONLY);
    setAttributes(skin / "system.txt", FILE_ATTRIBUTE_SYSTEM);
    setAttributes(skin / "hidden folder", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    setAttributes(skin / "system folder", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY);
    PackList list;
    ListFiles(skin, list);
    EXPECT_EQ(list.FileNames,
              (std::vector<std::u16string>{u"hidden.txt", u"plain.txt", u"readonly.txt",
                                           u"hidden folder\\a.txt"}));
    // A read-only file cannot be removed with the folder.
    setAttributes(skin / "readonly.txt", FILE_ATTRIBUTE_NORMAL);
}

TEST(WindowsReplace, AnArchiveHeldOpenByAnotherProgramIsKeptAndTheRunFailsCleanly) {
    TempFolder dir;
    writeFile(dir / "skin/a.txt", "abc");
    writeFile(dir / "skin.rdb", "the old archive");
    const std::wstring archive = (dir / "skin.rdb").native();
    {
        // As most programs open a file: others may read, but not delete or rename it.
        HANDLE held = ::CreateFileW(archive.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        try {
            packFolder(dir / "skin", dir / "skin.rdb");
            ADD_FAILURE() << "replaced an archive held without delete sharing";
        } catch (const ArchiveError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::FileSystem) << e.what();
        }
        ::CloseHandle(held);
    }
    EXPECT_EQ(readFile(dir / "skin.rdb"), "the old archive");
    EXPECT_EQ(folderNames(dir.path()), (std::vector<std::string>{"skin", "skin.rdb"}))
        << "the temporary file is gone";
    // Once the other program lets go, the archive is replaced.
    EXPECT_EQ(packFolder(dir / "skin", dir / "skin.rdb"), 1);
    EXPECT_EQ(readFile(dir / "skin.rdb").size(), 36u + 28u + 3u);
}

TEST(WindowsPaths, ATreePastTwoHundredSixtyCharactersUnpacksAndPacksBack) {
    TempFolder dir;
    RawArchive raw;
    std::u16string deep;
    for (char16_t level = u'A'; level < u'A' + 12; ++level) {
        deep.append(u"a folder named at length ").append(1, level).append(1, u'\\');
    }
    deep.append(u"皮肤.png");
    // In walk order: a folder's files before its subfolders.
    raw.entries.emplace_back(u"top.txt", "top");
    raw.entries.emplace_back(deep, "deep");
    const std::string bytes = raw.bytes();
    writeFile(dir / "long.rdb", bytes);
    const fs::path target = unpackArchive(dir / "long.rdb", dir.path());
    ASSERT_GT((target / *hostPathFor(deep)).native().size(), 300u);
    EXPECT_EQ(packFolder(target, dir / "again.rdb"), 2);
    EXPECT_TRUE(readFile(dir / "again.rdb") == bytes);
}

// A device opened as an archive may never answer (CON) or hide a real file
// made through a long path prefix; a tree too deep for the host fails
// before anything is created, not halfway.
TEST(WindowsPaths, DeviceNamesAndTooLongPathsAreRefusedBeforeAnythingIsCreated) {
    TempFolder dir;
    for (const char* name : {"con.rdb", "NUL", "Aux.rdb", "com1.rdb"}) {
        try {
            ArchiveReader reader(dir / name);
            ADD_FAILURE() << name << " opened";
        } catch (const ArchiveError& e) {
            EXPECT_EQ(e.cause(), ErrorCause::CannotOpen) << name;
            EXPECT_NE(std::string(e.what()).find("device name"), std::string::npos) << e.what();
        }
    }
    RawArchive raw;
    std::u16string deep;
    while (deep.size() < 33000) {
        deep += u"level\\";
    }
    // Appended: GCC 12 warns falsely (-Wmaybe-uninitialized) on a moved string + "...".
    deep += u"last.txt";
    raw.entries.emplace_back(u"first.txt", "1");
    raw.entries.emplace_back(deep, "2");
    writeFile(dir / "deep.rdb", raw.bytes());
    fs::create_directory(dir / "out");
    try {
        unpackArchive(dir / "deep.rdb", dir / "out");
        ADD_FAILURE() << "unpacked";
    } catch (const ArchiveError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::LimitExceeded);
        EXPECT_NE(std::string(e.what()).find("entry 2"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(fs::is_empty(dir / "out"));
}

}  // namespace
}  // namespace tessapak::archive
