#include "cli_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <system_error>

extern char** environ;

namespace fs = std::filesystem;

namespace tessapak::cli::test {

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Owns the master side of a pseudo-terminal whose slave the child gets as
// its standard error.
class PseudoTerminal {
  public:
    PseudoTerminal() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            fail("posix_openpt");
        }
        slaveName_ = ::ptsname(master_);
        // Holding the slave open keeps what the child wrote readable after
        // the child has closed its side.
        slave_ = ::open(slaveName_.c_str(), O_RDWR | O_NOCTTY);
        if (slave_ < 0) {
            fail("open " + slaveName_);
        }
    }
    ~PseudoTerminal() {
        ::close(slave_);
        ::close(master_);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& slaveName() const { return slaveName_; }

    // Everything written so far. Called after the child exited, so nothing
    // more will come; poll with no wait just drains the buffer.
    std::string drain() {
        std::string text;
        char buffer[4096];
        pollfd pending{master_, POLLIN, 0};
        while (::poll(&pending, 1, 0) == 1 && (pending.revents & POLLIN) != 0) {
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string slaveName_;
};

}  // namespace

bool terminalAvailable() {
    return true;
}

CliResult runCli(const std::vector<std::string>& args, const fs::path& workdir,
                 ErrorStream errorStream) {
    // Captures live beside, not inside, workdir so that they never show up
    // in what the tool packs or in the trees the tests compare.
    const fs::path captureDir = workdir.parent_path() / (workdir.filename().string() + ".capture");
    fs::create_directories(captureDir);
    const fs::path outPath = captureDir / "stdout";
    const fs::path errPath = captureDir / "stderr";

    std::optional<PseudoTerminal> terminal;
    if (errorStream == ErrorStream::Terminal) {
        terminal.emplace();
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (terminal) {
        posix_spawn_file_actions_addopen(&actions, 2, terminal->slaveName().c_str(), O_RDWR, 0);
    } else {
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    }
    posix_spawn_file_actions_addchdir_np(&actions, workdir.c_str());

    std::vector<std::string> argvStrings{TESSAPAK_CLI_PATH};
    argvStrings.insert(argvStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argvStrings) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int spawnError =
        ::posix_spawn(&pid, TESSAPAK_CLI_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError != 0) {
        errno = spawnError;
        fail("posix_spawn " TESSAPAK_CLI_PATH);
    }

    int waitStatus = 0;
    while (::waitpid(pid, &waitStatus, 0) < 0) {
        if (errno != EINTR) {
            fail("waitpid");
        }
    }

    CliResult result;
    result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
    result.out = slurp(outPath);
    result.err = terminal ? terminal->drain() : slurp(errPath);
    return result;
}

}  // namespace tessapak::cli::test
