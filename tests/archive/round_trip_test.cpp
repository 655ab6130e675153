// Packing a generated tree and unpacking the archive gives back every listed
// file at the same path with the same bytes.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <random>

#include "archive/pack.h"
#include "archive/unpack.h"
#include "archive_test_support.h"

namespace tessapak::archive {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TempFolder;
using testing::treeContents;
using testing::writeFile;

std::string randomBytes(std::mt19937& random, std::size_t size) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; i += 4) {
        const std::uint32_t word = random();
        for (std::size_t k = 0; k < 4 && i + k < size; ++k) {
            out[i + k] = static_cast<char>(word >> (8 * k));
        }
    }
    return out;
}

TEST(RoundTrip, AGeneratedTreeComesBackFileForFile) {
    TempFolder dir;
    std::mt19937 random(20240601);
    const fs::path skin = dir / u8"皮肤 blue";
    for (int folder = 0; folder < 12; ++folder) {
        fs::path path = skin;
        for (int depth = 0; depth <= folder % 4; ++depth) {
            path /= std::string("level")
                        .append(std::to_string(depth))
                        .append("_")
                        .append(std::to_string(folder));
        }
        for (int file = 0; file < 8; ++file) {
            writeFile(path / std::string("f").append(std::to_string(file)).append(".png"),
                      randomBytes(random, random() % 33000));
        }
    }
    writeFile(skin / u8"皮肤.png", "中文");
    writeFile(skin / u8"按钮/悬停 状态.bmp", randomBytes(random, 100));
    writeFile(skin / ".hidden", "h");
    writeFile(skin / ".hidden folder/x", "x");
    writeFile(skin / "empty.txt", "");
    writeFile(skin / "img/empty too", "");
    writeFile(skin / "big.bin", randomBytes(random, (3 << 20) + 17));
    writeFile(skin / "over buffer.bin", randomBytes(random, (1 << 20) + 1));
    writeFile(skin / "half buffer.bin", randomBytes(random, 1 << 19));
    fs::create_directories(skin / "empty/deeper");
    fs::create_directories(skin / "img/also empty");

    EXPECT_EQ(packFolder(skin, dir / "blue.rdb"), 12 * 8 + 9);
    fs::create_directory(dir / "out");
    const fs::path target = unpackArchive(dir / "blue.rdb", dir / "out");
    EXPECT_EQ(target, dir / "out/blue");
    EXPECT_TRUE(treeContents(target) == treeContents(skin));
    // Folders exist in an archive only through the files they hold.
    EXPECT_FALSE(fs::exists(target / "empty"));
    EXPECT_FALSE(fs::exists(target / "img/also empty"));
    EXPECT_TRUE(fs::is_regular_file(target / "img/empty too"));
}

TEST(RoundTrip, AnArchiveUnpackedAndPackedAgainIsTheSameArchive) {
    TempFolder dir;
    writeFile(dir / "skin/z.png", "z");
    writeFile(dir / "skin/Img/a.png", "a");
    writeFile(dir / "skin/img2/b.png", std::string(600000, 'b'));
    packFolder(dir / "skin", dir / "skin.rdb");
    const fs::path target = unpackArchive(dir / "skin.rdb", dir.path());
    packFolder(target, dir / "again.rdb");
    EXPECT_TRUE(readFile(dir / "skin.rdb") == readFile(dir / "again.rdb"));
}

#ifndef _WIN32  // peak memory is read through getrusage
long peakResidentKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(Memory, ALargeFileIsCopiedThroughABoundedBufferBothWays) {
    TempFolder dir;
    constexpr std::int64_t kSize = std::int64_t{96} << 20;
    fs::create_directory(dir / "skin");
    {
        // Sparse, so that making it costs neither time nor memory; a few
        // marks show that the right bytes arrive.
        const int fd = ::open((dir / "skin/big.bin").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, kSize), 0);
        ASSERT_EQ(::pwrite(fd, "head", 4, 0), 4);
        ASSERT_EQ(::pwrite(fd, "middle", 6, kSize / 2), 6);
        ASSERT_EQ(::pwrite(fd, "tail", 4, kSize - 4), 4);
        ::close(fd);
    }
    writeFile(dir / "skin/small.txt", "small");
    const long before = peakResidentKiB();
    packFolder(dir / "skin", dir / "big.rdb");
    const fs::path target = unpackArchive(dir / "big.rdb", dir.path());
    // Holding the file in memory would add 96 MiB at least; ThreadSanitizer
    // shadows each byte touched (the few copy buffers) several times over.
#if defined(__SANITIZE_THREAD__)
    constexpr long kBoundKiB = 64 * 1024;
#else
    constexpr long kBoundKiB = 16 * 1024;
#endif
    EXPECT_LT(peakResidentKiB() - before, kBoundKiB);

    ASSERT_EQ(fs::file_size(target / "big.bin"), static_cast<std::uintmax_t>(kSize));
    const int fd = ::open((target / "big.bin").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    char mark[6] = {};
    EXPECT_EQ(::pread(fd, mark, 4, 0), 4);
    EXPECT_EQ(std::string(mark, 4), "head");
    EXPECT_EQ(::pread(fd, mark, 6, kSize / 2), 6);
    EXPECT_EQ(std::string(mark, 6), "middle");
    EXPECT_EQ(::pread(fd, mark, 4, kSize - 4), 4);
    EXPECT_EQ(std::string(mark, 4), "tail");
    ::close(fd);
    EXPECT_EQ(readFile(target / "small.txt"), "small");
}
#endif

}  // namespace
}  // namespace tessapak::archive
