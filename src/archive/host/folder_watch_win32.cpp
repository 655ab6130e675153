// The folder watch on Windows: ReadDirectoryChangesW on the root with its
// whole subtree, kept pending between waits so that no change goes untold,
// and an event to wake a wait.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include "archive/archive_error.h"
#include "archive/folder_watch.h"
#include "archive/host/host_fs.h"
#include "archive/host/watch_filter.h"

namespace fs = std::filesystem;

namespace tessapak::archive {

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kWatchedChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                  FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SIZE |
                                  FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SECURITY;

std::error_code lastError() {
    return {static_cast<int>(::GetLastError()), std::system_category()};
}

[[noreturn]] void failToWatch(const fs::path& folder, const std::error_code& error) {
    failWith(ErrorKind::FileSystem, ErrorCause::CannotOpen, folder, "cannot watch the folder",
             error);
}

DWORD millisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<DWORD>(std::clamp<std::chrono::milliseconds::rep>(left, 0, INFINITE - 1));
}

// The root as CreateFileW takes it whatever its length.
std::wstring openablePath(const fs::path& folder) {
    std::error_code error;
    const fs::path absolute = fs::absolute(folder, error);
    std::wstring text = (error ? folder : absolute).lexically_normal().native();
    if (text.size() >= MAX_PATH - 12 && !text.starts_with(L"\\\\")) {
        text.insert(0, L"\\\\?\\");
    }
    return text;
}

}  // namespace

class FolderWatch::Host {
  public:
    Host(const fs::path& root, const std::vector<fs::path>& ignored)
        : root_(root), filter_(ignored), buffer_(kBufferBytes / sizeof(DWORD)) {
        folder_ = ::CreateFileW(openablePath(root).c_str(), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED,
                                nullptr);
        if (folder_ == INVALID_HANDLE_VALUE) {
            failToWatch(root, lastError());
        }
        done_.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        stop_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (done_.hEvent == nullptr || stop_ == nullptr) {
            const std::error_code error = lastError();
            closeAll();
            failToWatch(root, error);
        }
        // Asking now makes the system collect changes from here on.
        if (const std::error_code error = ask()) {
            closeAll();
            failToWatch(root, error);
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
            if (broken_) {
                failToWatch(root_, broken_);
            }
            const HANDLE handles[2] = {done_.hEvent, stop_};
            const DWORD waited = ::WaitForMultipleObjects(
                2, handles, FALSE, deadline ? millisecondsUntil(*deadline) : INFINITE);
            if (waited == WAIT_OBJECT_0 + 1) {
                return Result::Stopped;
            }
            if (waited == WAIT_FAILED) {
                failToWatch(root_, lastError());
            }
            if (waited != WAIT_OBJECT_0) {
                return stopped_.load() ? Result::Stopped : Result::TimedOut;
            }
            DWORD bytes = 0;
            const bool read = ::GetOverlappedResult(folder_, &done_, &bytes, FALSE) != 0;
            pending_ = false;
            // Nothing told (the system's buffer overflowed) or told in a way
            // that cannot be read: something changed all the same.
            const bool changed = !read || bytes == 0 || readChanges(bytes);
            // At once, so that changes made before the next wait are kept.
            if (const std::error_code error = ask()) {
                // The root is gone or unreachable: told as a change now, as a
                // failure by the next wait.
                broken_ = error;
                return Result::Changed;
            }
            if (changed) {
                return Result::Changed;
            }
            // Only left-out changes: wait on for what is left of the time.
        }
    }

    void stop() {
        stopped_.store(true);
        ::SetEvent(stop_);
    }

  private:
    static constexpr DWORD kBufferBytes = 64 * 1024;  // the most a network share passes

    std::error_code ask() {
        if (pending_) {
            return {};
        }
        ::ResetEvent(done_.hEvent);
        if (!::ReadDirectoryChangesW(folder_, buffer_.data(), kBufferBytes, TRUE, kWatchedChanges,
                                     nullptr, &done_, nullptr)) {
            return lastError();
        }
        pending_ = true;
        return {};
    }

    // Whether the records told hold a change not left out.
    bool readChanges(DWORD bytes) const {
        const auto* base = reinterpret_cast<const char*>(buffer_.data());
        for (DWORD at = 0; at < bytes;) {
            const auto* record = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(base + at);
            const std::wstring relative(record->FileName, record->FileNameLength / sizeof(wchar_t));
            if (counts(record->Action, fs::path(relative))) {
                return true;
            }
            if (record->NextEntryOffset == 0) {
                break;
            }
            at += record->NextEntryOffset;
        }
        return false;
    }

    bool counts(DWORD action, const fs::path& relative) const {
        const fs::path folder = root_ / relative.parent_path();
        if (filter_.ignores(folder, relative.filename().native())) {
            return false;
        }
        // A folder is "modified" when something inside it is added, removed
        // or renamed, which is told on its own (or left out).
        if (action == FILE_ACTION_MODIFIED) {
            std::error_code error;
            const host::Status status =
                host::statusOf(root_ / relative, host::Links::DoNotFollow, error);
            return error || status.kind != host::Kind::Folder;
        }
        return true;
    }

    void closeAll() {
        if (folder_ != INVALID_HANDLE_VALUE) {
            if (pending_) {
                // The system writes into buffer_ until the request is done.
                ::CancelIoEx(folder_, &done_);
                DWORD bytes = 0;
                ::GetOverlappedResult(folder_, &done_, &bytes, TRUE);
            }
            ::CloseHandle(folder_);
            folder_ = INVALID_HANDLE_VALUE;
        }
        if (done_.hEvent != nullptr) {
            ::CloseHandle(done_.hEvent);
            done_.hEvent = nullptr;
        }
        if (stop_ != nullptr) {
            ::CloseHandle(stop_);
            stop_ = nullptr;
        }
    }

    fs::path root_;
    host::WatchFilter filter_;
    HANDLE folder_ = INVALID_HANDLE_VALUE;
    HANDLE stop_ = nullptr;
    OVERLAPPED done_{};
    bool pending_ = false;
    std::error_code broken_;     // asking for changes failed
    std::vector<DWORD> buffer_;  // DWORD-aligned, as the records must be
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
