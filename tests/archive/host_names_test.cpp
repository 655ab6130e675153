// Names that Windows cannot hold or would alter: refused by every pack, so
// that whatever Tessapak writes unpacks on Windows; refused by an unpack on
// Windows before anything is created, and kept by an unpack on POSIX.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/archive_error.h"
#include "archive/display_text.h"
#include "archive/format/names.h"
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

struct TreeCase {
    std::vector<std::string> files;
    std::string named;  // the file the message names
};

TEST(HostNames, APackRefusesWhatWindowsCannotHoldOnEveryHostAndKeepsTheOldArchive) {
    if (hostNameRules() == NameRules::Windows) {
        GTEST_SKIP() << "Windows cannot make such files to begin with";
    }
    const std::vector<TreeCase> cases = {
        {{"ok.txt", "CON.png"}, "CON.png"},
        {{"img./a.png"}, "a.png"},
        {{"a?b.png"}, "a?b.png"},
        {{"A.txt", "a.txt"}, "a.txt"},
        {{"Img/a.png", "img/b.png"}, "b.png"},
    };
    for (const auto& c : cases) {
        TempFolder dir;
        for (const auto& file : c.files) {
            writeFile(dir / "skin" / file, "x");
        }
        writeFile(dir / "skin.rdb", "the old archive");
        try {
            packFolder(dir / "skin", dir / "skin.rdb");
            ADD_FAILURE() << c.named << ": packed";
        } catch (const ArchiveError& e) {
            EXPECT_EQ(e.cause(), ErrorCause::NameNotRepresentable) << e.what();
            EXPECT_EQ(e.path().filename(), c.named) << e.what();
        }
        EXPECT_EQ(readFile(dir / "skin.rdb"), "the old archive") << c.named;
    }
}

TEST(HostNames, AnUnpackRefusesThemOnWindowsBeforeCreatingAnythingAndKeepsThemOnPosix) {
    const std::vector<std::vector<std::u16string>> cases = {
        {u"ok.txt", u"img\\nul.png"}, {u"ok.txt", u"trailing dot."},  {u"ok.txt", u"what?.png"},
        {u"Ok.txt", u"ok.txt"},       {u"IMG\\a.png", u"img\\b.png"},
    };
    for (const auto& names : cases) {
        TempFolder dir;
        RawArchive raw;
        for (const auto& name : names) {
            raw.entries.emplace_back(name, "x");
        }
        writeFile(dir / "skin.rdb", raw.bytes());
        fs::create_directory(dir / "out");
        const std::string label = displayName(names[1]);
        if (hostNameRules() == NameRules::Windows) {
            try {
                unpackArchive(dir / "skin.rdb", dir / "out");
                ADD_FAILURE() << label << ": unpacked";
            } catch (const ArchiveError& e) {
                EXPECT_EQ(e.cause(), ErrorCause::UnsafeName) << e.what();
                EXPECT_NE(std::string(e.what()).find("entry 2 (" + label + ")"), std::string::npos)
                    << e.what();
            }
            EXPECT_TRUE(fs::is_empty(dir / "out")) << label;
        } else {
            const fs::path target = unpackArchive(dir / "skin.rdb", dir / "out");
            EXPECT_EQ(readFile(target / *hostPathFor(names[1])), "x") << label;
        }
    }
}

}  // namespace
}  // namespace tessapak::archive
