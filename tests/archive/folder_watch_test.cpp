// The folder watch: a change anywhere below the folder is told, in folders
// made or moved after the watch began too; the archive a pack writes into the
// folder is not.

#include "archive/folder_watch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "archive/archive_error.h"
#include "archive/output_names.h"
#include "archive/pack.h"
#include "archive_test_support.h"

namespace tessapak::archive {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;
using testing::writeFile;
using Result = FolderWatch::Result;
using namespace std::chrono_literals;

// Far longer than a change takes to be told, even under wine.
constexpr auto kTold = 10s;

// Lets the changes told so far pass.
void settle(FolderWatch& watch) {
    while (watch.waitForChange(300ms) == Result::Changed) {
    }
}

TEST(FolderWatch, TellsChangesInFoldersMadeOrMovedAfterTheWatchBegan) {
    TempFolder temp;
    const fs::path root = temp.subfolder("skin");
    EXPECT_THROW(FolderWatch(root / "missing"), ArchiveError);
    FolderWatch watch(root);
    // Made at once, so that the deeper folders exist before their parent's
    // watch could see them made.
    const fs::path deep = root / "new" / "deeper" / "deepest";
    const fs::path moved = root / "moved" / "deeper" / "deepest";
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"folders made", [&] { fs::create_directories(deep); }},
        {"file made", [&] { writeFile(deep / "a.png", "one"); }},
        {"file written", [&] { writeFile(deep / "a.png", "two"); }},
        {"file renamed", [&] { fs::rename(deep / "a.png", deep / "b.png"); }},
        {"folder renamed", [&] { fs::rename(root / "new", root / "moved"); }},
        {"folder made in it", [&] { fs::create_directory(moved / "later"); }},
        {"file made there", [&] { writeFile(moved / "later" / "c.png", "three"); }},
        {"file removed", [&] { fs::remove(moved / "b.png"); }},
    };
    for (const auto& [what, change] : changes) {
        settle(watch);
        change();
        EXPECT_EQ(watch.waitForChange(kTold), Result::Changed) << what;
    }
}

TEST(FolderWatch, LeavesOutTheArchiveWrittenInsideTheFolderButNotItsNameElsewhere) {
    for (const char* outputName : {"skin.rdb", "sub/skin.rdb"}) {
        TempFolder temp;
        const fs::path root = temp.subfolder("skin");
        writeFile(root / "a.png", "picture");
        writeFile(root / "sub" / "b.png", "picture");
        const fs::path output = root / outputName;
        FolderWatch watch(root, excludedPathsFor(output));
        // Written to a temporary file, then renamed over the old archive.
        packFolder(root, output);
        packFolder(root, output);
        EXPECT_EQ(watch.waitForChange(1s), Result::TimedOut) << outputName;

        const fs::path elsewhere = output.parent_path() == root ? root / "sub" : root;
        writeFile(elsewhere / "skin.rdb", "not the archive");
        EXPECT_EQ(watch.waitForChange(kTold), Result::Changed) << outputName;
    }
}

TEST(FolderWatch, StopEndsAWaitFromAnotherThreadAndEveryLaterOne) {
    TempFolder temp;
    const fs::path root = temp.subfolder("skin");
    FolderWatch watch(root);
    const auto start = std::chrono::steady_clock::now();
    std::thread stopper([&watch] {
        std::this_thread::sleep_for(100ms);
        watch.stop();
    });
    EXPECT_EQ(watch.waitForChange(60s), Result::Stopped);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, kTold);
    writeFile(root / "a.png", "picture");
    EXPECT_EQ(watch.waitForChange(), Result::Stopped);
}

}  // namespace
}  // namespace tessapak::archive
