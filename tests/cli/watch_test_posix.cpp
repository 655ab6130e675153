// pack --watch: the archive follows the folder it lies in without its own
// writes starting packs, a pack that fails leaves it as it was until the next
// change, and SIGTERM ends the run leaving the last complete archive. POSIX
// only: the Windows tests cannot give a child a console interrupt; the
// watch itself is tested there through the engine.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>
#include <utility>

#include "archive/folder_walk.h"
#include "archive/pack.h"
#include "cli_runner.h"
#include "test_support.h"

extern char** environ;

namespace fs = std::filesystem;

namespace tessapak::cli::test {
namespace {

// Polls until holds() or a deadline far beyond what the run needs.
bool eventually(const std::function<bool()>& holds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!holds()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

pid_t spawnCli(const fs::path& work, std::vector<std::string> args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const fs::path out = work / "out.txt";
    const fs::path err = work / "err.txt";
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, work.c_str());
    args.insert(args.begin(), TESSAPAK_CLI_PATH);
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, TESSAPAK_CLI_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

// Ends the run if the test stops before it does.
struct Reaper {
    pid_t pid = -1;
    ~Reaper() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

// Standard output's lines with the leading clock time taken off.
std::vector<std::string> linesAfterTime(const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        EXPECT_TRUE(std::regex_search(line, std::regex("^[0-9]{2}:[0-9]{2}:[0-9]{2} "))) << line;
        lines.push_back(line.substr(line.find(' ') + 1));
    }
    return lines;
}

TEST(CliWatch, TheArchiveFollowsTheFolderAndSigtermLeavesTheLastCompleteOne) {
    TempFolder temp;
    const fs::path work = temp.subfolder("work");
    const fs::path skin = work / "skin";
    writeFile(skin / "a.txt", "first");
    writeFile(skin / "pics" / "b.png", "picture");
    const fs::path archive = skin / "skin.rdb";
    // What a pack of the folder as it is now gives, the watched archive left out.
    auto current = [&] {
        archive::PackList list;
        archive::ListFiles(skin, list, {archive});
        archive::writeArchive(skin, list, work / "expected.rdb");
        return readFile(work / "expected.rdb");
    };
    // Whole files put in place at once, so that a slow moment between
    // writing and closing one cannot split a change into two packs.
    auto place = [&](const fs::path& path, const std::string& bytes) {
        writeFile(work / "incoming", bytes);
        fs::rename(work / "incoming", path);
    };
    auto follows = [&] {
        return eventually([&] { return fs::exists(archive) && readFile(archive) == current(); });
    };

    Reaper run{spawnCli(work, {"pack", "--watch", "skin", "skin/skin.rdb"})};
    ASSERT_GT(run.pid, 0);
    EXPECT_TRUE(follows()) << "first pack";
    place(skin / "a.txt", "second, longer");
    EXPECT_TRUE(follows()) << "a file written";

    // A name the format cannot hold fails the pack; the archive stays.
    const std::string before = readFile(archive);
    place(skin / "pics" / "c\xff.png", "new picture");
    EXPECT_TRUE(eventually([&] { return !readFile(work / "err.txt").empty(); }));
    EXPECT_EQ(readFile(archive), before);
    fs::rename(skin / "pics" / "c\xff.png", skin / "pics" / "c.png");
    EXPECT_TRUE(follows()) << "retried after the next change";

    const std::vector<std::string> expected = {
        "packed 2 files into skin/skin.rdb",
        "watching skin for changes (Ctrl-C stops)",
        "packed 2 files into skin/skin.rdb: 0 added, 0 removed, 1 changed",
        "packed 3 files into skin/skin.rdb: 1 added, 0 removed, 0 changed",
    };
    EXPECT_TRUE(eventually([&] { return linesAfterTime(readFile(work / "out.txt")) == expected; }))
        << readFile(work / "out.txt");
    // Its own writes start no further pack.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(linesAfterTime(readFile(work / "out.txt")), expected);
    const std::string err = readFile(work / "err.txt");
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("pics/c\\xff.png"), std::string::npos) << err;
    EXPECT_NE(err.find("skin/skin.rdb left as it was"), std::string::npos) << err;

    const pid_t pid = std::exchange(run.pid, -1);
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(readFile(archive), current());
    for (const auto& entry : fs::directory_iterator(skin)) {
        EXPECT_FALSE(entry.path().filename().string().ends_with(".tessapak-part")) << entry.path();
    }
}

}  // namespace
}  // namespace tessapak::cli::test
