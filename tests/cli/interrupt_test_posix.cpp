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
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "archive/format/rdb_format.h"
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

// Runs the tool in work with its standard error going to err, and sends it
// signal as soon as midRun() holds. Returns its wait status, or nothing when
// it ended before that.
std::optional<int> interruptedRun(const fs::path& work, std::vector<std::string> args,
                                  const fs::path& err, int signal,
                                  const std::function<bool()>& midRun) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, work.c_str());
    args.insert(args.begin(), TESSAPAK_CLI_PATH);
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, TESSAPAK_CLI_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return std::nullopt;
    }
    bool seen = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!seen && std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return std::nullopt;
        }
        seen = midRun();
        if (!seen) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    ::kill(pid, seen ? signal : SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return seen ? std::optional<int>(status) : std::nullopt;
}

TEST(CliInterrupt, APackInterruptedBySigintSigtermOrSighupRemovesItsTemporaryFile) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        TempFolder temp;
        const fs::path work = temp.subfolder("work");
        // Sparse, so it costs no disk space to make, but copying it takes a while.
        writeFile(work / "skin" / "big.bin", "");
        fs::resize_file(work / "skin" / "big.bin", std::uintmax_t{768} << 20);
        writeFile(work / "skin.rdb", "the old archive");
        // Interrupted as soon as its temporary file shows: mid-run.
        const auto status = interruptedRun(work, {"pack", "skin"}, "/dev/null", signal,
                                           [&] { return holdsTemporaryFile(work); });
        ASSERT_TRUE(status) << "the run ended before it could be interrupted";
        // Ended by the signal itself, so a shell reports 128 + signal.
        EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == signal) << signal;
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
    const fs::path work = temp.subfolder("work");
    writeSparseArchive(work / "skin.rdb", 768 << 20);
    const auto status = interruptedRun(work, {"unpack", "skin.rdb"}, work / "err.txt", SIGINT,
                                       [&] { return fs::exists(work / "skin" / "big.bin"); });
    ASSERT_TRUE(status) << "the run ended before it could be interrupted";
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGINT);
    const std::string folder = fs::canonical(work / "skin").string();
    EXPECT_EQ(readFile(work / "err.txt"),
              "tessapak-cli: unpack interrupted, leaving the incomplete folder " + folder + "\n");
}

TEST(CliInterrupt, AFailedUnpackNamesTheIncompleteFolderItLeaves) {
    TempFolder temp;
    const fs::path work = temp.subfolder("work");
    writeSparseArchive(work / "skin.rdb", 4 << 20);
    // The run fails writing its file past a size limit that it inherits.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit low = old;
    low.rlim_cur = 1 << 20;
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
    const auto result = runCli({"unpack", "skin.rdb"}, work);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.oneErrorLine()) << result.err;
    EXPECT_NE(result.err.find("cannot write the file"), std::string::npos) << result.err;
    const std::string folder = fs::canonical(work / "skin").string();
    EXPECT_TRUE(result.err.ends_with("; the unpack stopped, leaving the incomplete folder " +
                                     folder + "\n"))
        << result.err;
}

}  // namespace
}  // namespace tessapak::cli::test
