// Hostile trees, hostile archives and racing runs: each test is named after
// the attack it fends off.

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <thread>
#include <utility>

#include "archive/archive_error.h"
#include "archive/folder_walk.h"
#include "archive/pack.h"
#include "archive/unpack.h"
#include "archive_test_support.h"
#include "unprivileged_posix.h"

namespace tessapak::archive {
namespace {

namespace fs = std::filesystem;
using testing::folderNames;
using testing::RawArchive;
using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

std::optional<ArchiveError> errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ArchiveError& e) {
        return e;
    }
    return std::nullopt;
}

long peakResidentKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long openDescriptors() {
    return static_cast<long>(std::distance(fs::directory_iterator("/proc/self/fd"), {}));
}

// The limit counts descriptor numbers, not open descriptors: below the
// lowest free one, nothing more can be opened, whatever gaps lie above it.
long lowestFreeDescriptor() {
    const int free = ::dup(0);
    ::close(free);
    return free;
}

// Lowers the descriptor limit for one scope.
class DescriptorLimit {
  public:
    explicit DescriptorLimit(long limit) {
        ::getrlimit(RLIMIT_NOFILE, &old_);
        rlimit low = old_;
        low.rlim_cur = static_cast<rlim_t>(limit);
        ::setrlimit(RLIMIT_NOFILE, &low);
    }
    ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &old_); }
    DescriptorLimit(const DescriptorLimit&) = delete;
    DescriptorLimit& operator=(const DescriptorLimit&) = delete;

  private:
    rlimit old_{};
};

// Trees deeper than the host's path limit cannot be removed by path; moving
// every folder up beside the tree first flattens it.
void removeDeep(const fs::path& root) {
    const fs::path flat = root.parent_path() / "flattened";
    fs::create_directory(flat);
    std::vector<fs::path> pending{root};
    int count = 0;
    while (!pending.empty()) {
        const fs::path folder = pending.back();
        pending.pop_back();
        std::vector<fs::path> subfolders;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.is_directory() && !entry.is_symlink()) {
                subfolders.push_back(entry.path());
            }
        }
        for (const fs::path& sub : subfolders) {
            const fs::path moved = flat / std::to_string(count++);
            fs::rename(sub, moved);
            pending.push_back(moved);
        }
    }
    fs::remove_all(root);
    fs::remove_all(flat);
}

TEST(HostileTree, ARootThatCannotBeOpenedOrListedEndsThePackAndKeepsTheOldArchive) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizer runtime needs descriptors of its own while reporting";
#endif
    testing::runUnprivileged([] {
        TempFolder dir;
        writeFile(dir / "skin/a.txt", "abc");
        writeFile(dir / "good.rdb", "the good archive");
        struct Case {
            const char* what;
            std::function<void()> lock;
            std::function<void()> unlock;
        };
        std::optional<DescriptorLimit> limit;
        const std::vector<Case> cases = {
            {"no descriptor left to open it", [&] { limit.emplace(lowestFreeDescriptor()); },
             [&] { limit.reset(); }},
            {"searchable but not readable (311)",
             [&] { fs::permissions(dir / "skin", fs::perms(0311)); },
             [&] { fs::permissions(dir / "skin", fs::perms::owner_all); }},
        };
        for (const Case& c : cases) {
            c.lock();
            const auto error = errorOf([&] { packFolder(dir / "skin", dir / "good.rdb"); });
            c.unlock();
            ASSERT_TRUE(error.has_value()) << c.what;
            EXPECT_EQ(error->cause(), ErrorCause::CannotOpen) << c.what;
            EXPECT_EQ(error->path(), dir / "skin") << c.what;
            EXPECT_EQ(readFile(dir / "good.rdb"), "the good archive") << c.what;
            EXPECT_EQ(folderNames(dir.path()), (std::vector<std::string>{"good.rdb", "skin"}));
        }
    });
}

TEST(HostileTree, FoldersLinkedTwiceAtEveryLevelAreRefusedNamingBothPaths) {
    // 33 levels, each with two links to the next: walked naively, 2^33 folders.
    TempFolder dir;
    for (int level = 0; level < 33; ++level) {
        const fs::path folder = dir / ("level" + std::to_string(level));
        writeFile(folder / "f.txt", "f");
        if (level > 0) {
            const fs::path previous = dir / ("level" + std::to_string(level - 1));
            fs::create_directory_symlink(folder, previous / "left");
            fs::create_directory_symlink(folder, previous / "right");
        }
    }
    PackList list;
    const auto error = errorOf([&] { ListFiles(dir / "level0", list); });
    ASSERT_TRUE(error.has_value());
    // The first folder met twice is the deepest: by 31 lefts and a right,
    // after 32 lefts.
    fs::path lefts = dir / "level0";
    for (int i = 0; i < 31; ++i) {
        lefts /= "left";
    }
    EXPECT_EQ(error->path(), lefts / "right") << error->what();
    EXPECT_NE(std::string(error->what()).find((lefts / "left").string() + ";"), std::string::npos)
        << error->what();
    EXPECT_EQ(list.FileCount, 33);
}

TEST(HostileTree, AWalkStopsAtTheTwoGibibyteLimitInsteadOfListingOn) {
    TempFolder dir;
    // Sparse files: three times 1 GiB that take no disk space.
    for (const char* name : {"skin/a.bin", "skin/b.bin", "skin/c.bin"}) {
        writeFile(dir / name, "");
        fs::resize_file(dir / name, std::uintmax_t{1} << 30);
    }
    PackList list;
    const auto error = errorOf([&] { ListFiles(dir / "skin", list); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->cause(), ErrorCause::ArchiveTooLarge);
    EXPECT_EQ(error->path(), dir / "skin/b.bin");
    EXPECT_NE(std::string(error->what()).find("RDB format is limited to 2 GiB"), std::string::npos);
    EXPECT_EQ(list.FileCount, 1);
}

TEST(HostileTree, TwoThousandLevelsPackAndUnpackWithFewDescriptors) {
    TempFolder dir;
    constexpr int kLevels = 2000;
    // "level0000/level0001/..." is 20,000 bytes: past the host's path limit,
    // so the tree is made relative to open folders.
    {
        int folder = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
        ASSERT_GE(::mkdirat(folder, "deep", 0777), 0);
        std::string name = "deep";
        for (int level = 0; level <= kLevels; ++level) {
            const int next = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY);
            ::close(folder);
            folder = next;
            ASSERT_GE(folder, 0);
            if (level % 500 == 0 || level == kLevels) {
                const int file = ::openat(folder, "f.txt", O_WRONLY | O_CREAT, 0644);
                ASSERT_EQ(::write(file, "deep", 4), 4);
                ::close(file);
            }
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "level%04d", level);
            name = buffer;
            ASSERT_EQ(::mkdirat(folder, name.c_str(), 0777), 0);
        }
        ::close(folder);
    }
    std::string first;
    {
        DescriptorLimit limit(openDescriptors() + 40);
        EXPECT_EQ(packFolder(dir / "deep", dir / "deep.rdb"), 5);
        first = readFile(dir / "deep.rdb");
        const fs::path target = unpackArchive(dir / "deep.rdb", dir.path());
        EXPECT_EQ(target, dir / "deep (1)");
        EXPECT_EQ(packFolder(target, dir / "again.rdb"), 5);
    }
    EXPECT_TRUE(readFile(dir / "again.rdb") == first);
    ArchiveReader reader(dir / "again.rdb");
    reader.readDirectory();
    ASSERT_EQ(reader.entries().size(), 5u);
    EXPECT_EQ(reader.entries().back().Name.size(), std::size_t{kLevels} * 10 + 5);
    removeDeep(dir / "deep");
    removeDeep(dir / "deep (1)");
}

TEST(HostileArchive, ReadingCostsTheDirectorysBytesNotItsStoredCountsOrNameSquares) {
    TempFolder dir;
    // One name "a\a\...\a" of 31,999 units: every folder prefix of it
    // recorded would take 500 MB.
    RawArchive deep;
    std::u16string name = u"a";
    while (name.size() < 31999) {
        name += u"\\a";
    }
    deep.entries.emplace_back(name, "x");
    writeFile(dir / "deep.rdb", deep.bytes());
    // A sparse 2 GiB file whose header claims 119 M entries.
    RawArchive claims;
    claims.entryCount = 119'000'000;
    claims.dirSize = 2'145'000'000;
    writeFile(dir / "sparse.rdb", claims.bytes());
    fs::resize_file(dir / "sparse.rdb", 2'147'000'000);

    const long before = peakResidentKiB();
    {
        ArchiveReader reader(dir / "deep.rdb");
        reader.readDirectory();
        reader.checkData();
        ASSERT_EQ(reader.entries().size(), 1u);
    }
    const auto error = errorOf([&] {
        ArchiveReader reader(dir / "sparse.rdb");
        reader.readDirectory();
    });
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(std::string(error->what()).find("entry 1 (): the name is empty"), std::string::npos)
        << error->what();
    EXPECT_LT(peakResidentKiB() - before, 32 * 1024);
}

TEST(HostileRace, AFolderSwappedForALinkDuringUnpackRedirectsNothing) {
    // Another process with write access swaps a folder the run has made for
    // a link to elsewhere; nothing may land there.
    for (const char* swapped : {"", "img"}) {
        TempFolder dir;
        RawArchive raw;
        raw.entries = {{u"img\\a.png", "a"}, {u"img\\b.png", "b"}, {u"c.txt", "c"}};
        writeFile(dir / "blue.rdb", raw.bytes());
        fs::create_directory(dir / "out");
        fs::create_directory(dir / "elsewhere");
        const fs::path target = dir / "out/blue";
        auto swap = [&](std::int64_t n, std::int64_t) {
            if (n == 2) {
                const fs::path victim = *swapped ? target / swapped : target;
                fs::rename(victim, dir / "out/moved");
                fs::create_directory_symlink(dir / "elsewhere", victim);
            }
        };
        errorOf([&] { unpackArchive(dir / "blue.rdb", dir / "out", swap); });
        EXPECT_TRUE(fs::is_empty(dir / "elsewhere")) << swapped;
    }
}

TEST(HostileRace, RunsToOneOutputNeverTouchEachOthersTemporaryFile) {
    TempFolder dir;
    writeFile(dir / "one/a.txt", std::string(300000, '1'));
    writeFile(dir / "two/b.txt", std::string(200000, '2'));
    packFolder(dir / "one", dir / "one.rdb");
    packFolder(dir / "two", dir / "two.rdb");
    const std::string one = readFile(dir / "one.rdb");
    const std::string two = readFile(dir / "two.rdb");
    const fs::path output = dir / "out.rdb";
    for (int round = 0; round < 20; ++round) {
        std::optional<ArchiveError> errors[2];
        std::thread first([&] { errors[0] = errorOf([&] { packFolder(dir / "one", output); }); });
        std::thread second([&] { errors[1] = errorOf([&] { packFolder(dir / "two", output); }); });
        first.join();
        second.join();
        EXPECT_FALSE(errors[0].has_value()) << errors[0]->what();
        EXPECT_FALSE(errors[1].has_value()) << errors[1]->what();
        const std::string result = readFile(output);
        ASSERT_TRUE(result == one || result == two) << "round " << round;
    }
    // What a killed run left is cleaned up; what a live run holds, or has not
    // begun to write, is not.
    struct Temporary {
        bool locked;
        std::string bytes;
        bool stays;
    };
    std::vector<std::pair<fs::path, Temporary>> temporaries;
    std::vector<int> held;
    for (const Temporary& t : {Temporary{true, "live", true}, Temporary{false, "", true},
                               Temporary{false, "left by a killed run", false}}) {
        const fs::path path = temporaryPathFor(output);
        writeFile(path, t.bytes);
        if (t.locked) {
            held.push_back(::open(path.c_str(), O_RDONLY));
            ASSERT_EQ(::flock(held.back(), LOCK_EX), 0);
        }
        temporaries.emplace_back(path, t);
    }
    packFolder(dir / "one", output);
    for (const auto& [path, t] : temporaries) {
        EXPECT_EQ(fs::exists(path), t.stays) << t.bytes;
    }
    for (int fd : held) {
        ::close(fd);
    }
}

TEST(HostileRace, TheArchiveIsOwnerOnlyWhileWrittenThenTakesTheOldModeOrTheUsualOne) {
    TempFolder dir;
    writeFile(dir / "skin/a.txt", "abc");
    writeFile(dir / "skin/b.txt", "def");
    const fs::path output = dir / "blue.rdb";
    const auto [prefix, suffix] = temporaryNamePattern(output);
    const mode_t oldMask = ::umask(027);
    const struct {
        std::optional<mode_t> old;
        mode_t result;
    } cases[] = {{06755, 0755}, {0604, 0604}, {0600, 0600}, {std::nullopt, 0640}};
    for (const auto& c : cases) {
        fs::remove(output);
        if (c.old) {
            writeFile(output, "old");
            ASSERT_EQ(::chmod(output.c_str(), *c.old), 0);
        }
        std::vector<mode_t> whileWritten;
        packFolder(dir / "skin", output, [&](std::int64_t, std::int64_t) {
            for (const auto& entry : fs::directory_iterator(dir.path())) {
                const std::string name = entry.path().filename().native();
                struct stat st {};
                if (name.starts_with(prefix) && name.ends_with(suffix) &&
                    ::stat(entry.path().c_str(), &st) == 0) {
                    whileWritten.push_back(st.st_mode & 07777);
                }
            }
        });
        EXPECT_EQ(whileWritten, std::vector<mode_t>(2, 0600)) << std::oct << c.result;
        struct stat st {};
        ASSERT_EQ(::stat(output.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.result) << std::oct << c.result;
    }
    ::umask(oldMask);
}

// The C library's flock, called through this one, so that a test can lock a
// new temporary file first, as another run's clean-up does for a moment.
std::function<void(int)> beforeLockingForWriting;

}  // namespace
}  // namespace tessapak::archive

extern "C" int flock(int fd, int operation) noexcept {
    static const auto real = reinterpret_cast<int (*)(int, int)>(::dlsym(RTLD_NEXT, "flock"));
    if (tessapak::archive::beforeLockingForWriting &&
        (::fcntl(fd, F_GETFL) & O_ACCMODE) == O_WRONLY) {
        std::exchange(tessapak::archive::beforeLockingForWriting, nullptr)(fd);
    }
    return real(fd, operation);
}

namespace tessapak::archive {
namespace {

TEST(HostileRace, ANewTemporaryFileLockedByAnotherProcessIsNotUsed) {
    TempFolder dir;
    writeFile(dir / "skin/a.txt", "abc");
    int held = -1;
    beforeLockingForWriting = [&held](int fd) {
        const fs::path path = fs::read_symlink("/proc/self/fd/" + std::to_string(fd));
        held = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    };
    packFolder(dir / "skin", dir / "blue.rdb");
    ASSERT_NE(held, -1);
    // Written unlocked, it could be taken for abandoned and removed.
    struct stat locked {};
    struct stat archive {};
    ASSERT_EQ(::fstat(held, &locked), 0);
    ASSERT_EQ(::stat((dir / "blue.rdb").c_str(), &archive), 0);
    EXPECT_NE(locked.st_ino, archive.st_ino);
    EXPECT_EQ(locked.st_nlink, 0u) << "the file given up is removed";
    ArchiveReader reader(dir / "blue.rdb");
    reader.checkData();
    EXPECT_EQ(reader.entries().size(), 1u);
    ::close(held);
}

}  // namespace
}  // namespace tessapak::archive
