// tessapak-cli interrupted by a signal: nothing of a pack remains, and an
// unpack names the incomplete folder it leaves, as does one that fails.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "archive/rdb_format.h"
#include "cli_runner.h"
#include "test_support.h"

extern char** environ;

namespace fs = std::filesystem;

namespace tessapak::cli::test {
namespace {

bool holdsTemporaryFile(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(".tessapak-part")) {
            return true;
        }
    }
    return false;
}

TEST(CliInterrupt, APackInterruptedBySigintSigtermOrSighupRemovesItsTemporaryFile) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        TempFolder temp;
        const fs::path work = temp.work();
        // Sparse, so it costs no disk space to make, but copying it takes a while.
        writeFile(work / "skin" / "big.bin", "");
        fs::resize_file(work / "skin" / "big.bin", std::uintmax_t{768} << 20);
        writeFile(work / "skin.rdb", "the old archive");

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addchdir_np(&actions, work.c_str());
        std::string program = TESSAPAK_CLI_PATH;
        std::string command = "pack";
        std::string folder = "skin";
        char* argv[] = {program.data(), command.data(), folder.data(), nullptr};
        pid_t pid = 0;
        ASSERT_EQ(::posix_spawn(&pid, TESSAPAK_CLI_PATH, &actions, nullptr, argv, environ), 0);
        posix_spawn_file_actions_destroy(&actions);

        // Interrupted as soon as its temporary file shows: mid-run.
        bool seen = false;
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            if (holdsTemporaryFile(work)) {
                seen = true;
                ::kill(pid, signal);
                break;
            }
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = 0;
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (pid != 0) {
            if (!seen) {
                ::kill(pid, SIGKILL);
            }
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        }
        ASSERT_TRUE(seen) << "the run ended before it could be interrupted";
        // Ended by the signal itself, so a shell reports 128 + signal.
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
        EXPECT_FALSE(holdsTemporaryFile(work)) << signal;
        EXPECT_EQ(readFile(work / "skin.rdb"), "the old archive") << signal;
    }
}

// An archive of one entry of size bytes, sparse, so that it costs no disk
// space to make but unpacking it takes a while.
void writeSparseArchive(const fs::path& path, std::int32_t size) {
    archive::RdbEntry entry;
    entry.Name = u"big.bin";
    entry.DataSize = size;
    std::string directory;
    archive::appendEntry(directory, entry);
    const auto header =
        archive::encodeHeader(archive::makeHeader(1, static_cast<std::int32_t>(directory.size())));
    writeFile(path, std::string(header.begin(), header.end()) + directory);
    fs::resize_file(path, header.size() + directory.size() + static_cast<std::uintmax_t>(size));
}

TEST(CliInterrupt, AnInterruptedUnpackNamesTheIncompleteFolderItLeaves) {
    TempFolder temp;
    const fs::path work = temp.work();
    writeSparseArchive(work / "skin.rdb", 768 << 20);
    const fs::path errPath = work / "err.txt";

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, work.c_str());
    std::string program = TESSAPAK_CLI_PATH;
    std::string command = "unpack";
    std::string archive = "skin.rdb";
    char* argv[] = {program.data(), command.data(), archive.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, TESSAPAK_CLI_PATH, &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    // Interrupted as soon as its file shows: mid-run.
    bool seen = false;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!seen && std::chrono::steady_clock::now() < deadline) {
        if (fs::exists(work / "skin" / "big.bin")) {
            seen = true;
            ::kill(pid, SIGINT);
        } else if (::waitpid(pid, &status, WNOHANG) == pid) {
            pid = 0;
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (pid == 0) {
            break;
        }
    }
    if (pid != 0) {
        if (!seen) {
            ::kill(pid, SIGKILL);
        }
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    }
    ASSERT_TRUE(seen) << "the run ended before it could be interrupted";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
    const std::string folder = fs::canonical(work / "skin").string();
    EXPECT_EQ(readFile(errPath),
              "tessapak-cli: unpack interrupted, leaving the incomplete folder " + folder + "\n");
}

TEST(CliInterrupt, AFailedUnpackNamesTheIncompleteFolderItLeaves) {
    TempFolder temp;
    writeSparseArchive(temp.work() / "skin.rdb", 4 << 20);
    // The run fails writing its file past a size limit that it inherits.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit low = old;
    low.rlim_cur = 1 << 20;
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
    const auto result = runCli({"unpack", "skin.rdb"}, temp.work());
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.oneErrorLine()) << result.err;
    EXPECT_NE(result.err.find("cannot write the file"), std::string::npos) << result.err;
    const std::string folder = fs::canonical(temp.work() / "skin").string();
    EXPECT_TRUE(result.err.ends_with("; the unpack stopped, leaving the incomplete folder " +
                                     folder + "\n"))
        << result.err;
}

}  // namespace
}  // namespace tessapak::cli::test
