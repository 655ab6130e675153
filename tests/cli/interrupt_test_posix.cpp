// tessapak-cli pack interrupted by a signal: nothing of the run remains.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

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
        const fs::path work = temp.subfolder("work");
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

}  // namespace
}  // namespace tessapak::cli::test
