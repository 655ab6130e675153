// The folder watch on Linux: one inotify watch per folder of the tree, new
// folders watched as they appear, and an eventfd to wake a wait.
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "archive/archive_error.h"
#include "archive/folder_watch.h"
#include "archive/host/host_fs.h"
#include "archive/host/watch_filter.h"

namespace fs = std::filesystem;

namespace tessapak::archive {

namespace {

constexpr std::uint32_t kWatchedEvents = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE |
                                         IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF |
                                         IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

std::error_code lastError() {
    return {errno, std::system_category()};
}

// Failures that mean folders stay unwatched for want of resources, not
// because the folder is gone or was never one.
bool outOfWatches(int code) {
    return code == ENOSPC || code == ENOMEM;
}

using Clock = std::chrono::steady_clock;

int millisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left, 0, INT32_MAX));
}

[[noreturn]] void failToWatch(const fs::path& folder, const std::error_code& error) {
    const std::string detail = outOfWatches(error.value())
                                   ? "cannot watch the folder (the system's limit on watched "
                                     "folders, fs.inotify.max_user_watches, is reached)"
                                   : "cannot watch the folder";
    failWith(ErrorKind::FileSystem, ErrorCause::CannotOpen, folder, detail, error);
}

}  // namespace

class FolderWatch::Host {
  public:
    Host(const fs::path& root, const std::vector<fs::path>& ignored)
        : root_(root), filter_(ignored) {
        notify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (notify_ < 0 || wake_ < 0) {
            const std::error_code error = lastError();
            closeAll();
            failToWatch(root, error);
        }
        const int rootWatch = ::inotify_add_watch(notify_, root.c_str(), kWatchedEvents);
        if (rootWatch < 0) {
            const std::error_code error = lastError();
            closeAll();
            failToWatch(root, error);
        }
        try {
            rootWatch_ = rootWatch;
            rescan();
        } catch (...) {
            closeAll();
            throw;
        }
    }
    ~Host() { closeAll(); }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Without a deadline, waits for as long as it takes.
    Result wait(const std::optional<Clock::time_point>& deadline) {
        for (;;) {
            if (stopped_.load()) {
                return Result::Stopped;
            }
            pollfd fds[2] = {{notify_, POLLIN, 0}, {wake_, POLLIN, 0}};
            const int ready = ::poll(fds, 2, deadline ? millisecondsUntil(*deadline) : -1);
            if (ready < 0 && errno == EINTR) {
                continue;  // a signal that did not end the process
            }
            if (ready < 0) {
                failToWatch(root_, lastError());
            }
            if (ready == 0) {
                return stopped_.load() ? Result::Stopped : Result::TimedOut;
            }
            if ((fds[1].revents & POLLIN) != 0) {
                return Result::Stopped;
            }
            if (readEvents()) {
                return Result::Changed;
            }
            // Only left-out changes: wait on for what is left of the time.
        }
    }

    void stop() {
        stopped_.store(true);
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
    }

  private:
    void closeAll() {
        if (notify_ >= 0) {
            ::close(notify_);
            notify_ = -1;
        }
        if (wake_ >= 0) {
            ::close(wake_);
            wake_ = -1;
        }
    }

    // Reads what is queued; true when something not left out changed.
    bool readEvents() {
        bool changed = false;
        bool rescanNeeded = false;
        alignas(inotify_event) char buffer[64 * 1024];
        for (;;) {
            const ssize_t got = ::read(notify_, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;  // EAGAIN: all read
            }
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                if ((event->mask & IN_Q_OVERFLOW) != 0) {
                    // Some changes went untold, folders made among them.
                    changed = true;
                    rescanNeeded = true;
                    continue;
                }
                handle(*event, changed, rescanNeeded);
            }
        }
        if (rescanNeeded) {
            rescan();
        }
        return changed;
    }

    void handle(const inotify_event& event, bool& changed, bool& rescanNeeded) {
        if ((event.mask & IN_IGNORED) != 0) {
            folders_.erase(event.wd);
            return;
        }
        const auto found = folders_.find(event.wd);
        if (found == folders_.end()) {
            return;
        }
        if ((event.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) != 0) {
            // A subfolder's removal is told in the folder above it too; the
            // root's only here.
            changed = changed || event.wd == rootWatch_;
            return;
        }
        const fs::path folder = found->second;
        const host::NativeString name = event.len > 0 ? event.name : "";
        if (!name.empty() && filter_.ignores(folder, name)) {
            return;
        }
        changed = true;
        if (name.empty()) {
            return;
        }
        // A folder made, moved in, or made readable brings folders to watch;
        // one moved in also brings watches whose paths are now stale, and
        // one moved out watches that must go.
        if ((event.mask & (IN_CREATE | IN_MOVED_TO | IN_ATTRIB)) != 0) {
            std::unordered_set<int> seen;
            watchTree(folder / name, seen);
        }
        if ((event.mask & IN_MOVED_FROM) != 0 && (event.mask & IN_ISDIR) != 0) {
            rescanNeeded = true;
        }
    }

    // Watches folder and every folder below it, links followed as a pack
    // follows them; a watch met a second time is not entered again, which
    // also ends loops of links. Names that are not folders are passed over.
    void watchTree(const fs::path& start, std::unordered_set<int>& seen) {
        std::vector<fs::path> pending{start};
        while (!pending.empty()) {
            const fs::path folder = std::move(pending.back());
            pending.pop_back();
            const int watch = ::inotify_add_watch(notify_, folder.c_str(), kWatchedEvents);
            if (watch < 0) {
                if (outOfWatches(errno)) {
                    failToWatch(folder, lastError());
                }
                // Gone, not a folder, or unreadable: a pack meets the same;
                // once made readable, its IN_ATTRIB brings it back here.
                continue;
            }
            if (!seen.insert(watch).second) {
                continue;
            }
            folders_[watch] = folder;
            std::error_code error;
            const host::Folder opened = host::Folder::open(folder, error);
            const auto entries = error ? std::vector<host::FolderEntry>{} : opened.list(error);
            for (const host::FolderEntry& entry : entries) {
                if (entry.kind == host::Kind::Folder) {
                    pending.push_back(folder / entry.name);
                }
            }
        }
    }

    // Watches the whole tree again and drops watches on folders no longer in
    // it, so that every watch's path is current.
    void rescan() {
        std::unordered_set<int> seen;
        watchTree(root_, seen);
        for (auto it = folders_.begin(); it != folders_.end();) {
            if (seen.count(it->first) == 0) {
                ::inotify_rm_watch(notify_, it->first);
                it = folders_.erase(it);
            } else {
                ++it;
            }
        }
    }

    fs::path root_;
    host::WatchFilter filter_;
    int notify_ = -1;
    int wake_ = -1;
    int rootWatch_ = -1;
    std::unordered_map<int, fs::path> folders_;  // watch descriptor → folder
    std::atomic<bool> stopped_{false};
};

FolderWatch::FolderWatch(const fs::path& folder, const std::vector<fs::path>& ignored)
    : host_(std::make_unique<Host>(folder, ignored)) {}

FolderWatch::~FolderWatch() = default;

FolderWatch::Result FolderWatch::waitForChange(std::chrono::milliseconds timeout) {
    return host_->wait(Clock::now() + timeout);
}

FolderWatch::Result FolderWatch::waitForChange() {
    return host_->wait(std::nullopt);
}

void FolderWatch::stop() {
    host_->stop();
}

}  // namespace tessapak::archive
