#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string_view>

#include "archive/host/host_fs.h"

namespace tessapak::archive::host {

namespace {

namespace fs = std::filesystem;

std::error_code lastError() {
    return {errno, std::system_category()};
}

int fdOf(std::intptr_t handle) {
    return static_cast<int>(handle);
}

Kind kindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return Kind::File;
    }
    if (S_ISDIR(mode)) {
        return Kind::Folder;
    }
    if (S_ISLNK(mode)) {
        return Kind::Link;
    }
    return Kind::Other;
}

Status statusFrom(const struct stat& st) {
    Status status;
    status.kind = kindOf(st.st_mode);
    status.size = status.kind == Kind::File ? static_cast<std::int64_t>(st.st_size) : 0;
    status.id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), 0};
    return status;
}

// A missing entry is an answer, not an error.
Status missingOr(std::error_code& error) {
    if (isNotFound(error) || error.value() == ELOOP) {
        error.clear();
    }
    return {};
}

const char* cPath(const fs::path& path) {
    return path.empty() ? "." : path.c_str();
}

// Reads until size bytes or the end of the file; a negative offset reads at
// the file's current position.
std::int64_t readFully(int fd, void* buffer, std::size_t size, std::int64_t offset,
                       std::error_code& error) {
    error.clear();
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got =
            offset < 0 ? ::read(fd, out + done, size - done)
                       : ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = lastError();
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(done);
}

// Temporary files that an interruption must remove. This is the engine's
// one global: a signal handler can reach nothing else, and may only read
// fixed memory and call async-signal-safe functions. Each slot holds the
// open folder's descriptor (-1 when free, -2 while being filled) and the
// name inside it, so that no path length limit and no change of the
// current folder can get in the way.
struct LiveTemporary {
    std::atomic<int> folder{-1};
    char name[NAME_MAX + 1];
};
constexpr int kLiveSlots = 16;
std::array<LiveTemporary, kLiveSlots> liveTemporaries;
static_assert(std::atomic<int>::is_always_lock_free);

int registerLive(int folder, const std::string& name) {
    if (name.size() > NAME_MAX) {
        return -1;
    }
    for (int i = 0; i < kLiveSlots; ++i) {
        int expected = -1;
        if (liveTemporaries[i].folder.compare_exchange_strong(expected, -2)) {
            std::memcpy(liveTemporaries[i].name, name.c_str(), name.size() + 1);
            liveTemporaries[i].folder.store(folder);
            return i;
        }
    }
    return -1;  // more live runs than slots: this one is not cleaned on interrupt
}

void unregisterLive(int slot) {
    if (slot >= 0) {
        liveTemporaries[slot].folder.store(-1);
    }
}

// What an interruption writes to standard error before it ends the process;
// fixed memory, since the handler can reach nothing else.
std::array<char, 8192> interruptNote;
std::atomic<std::size_t> interruptNoteLength{0};

extern "C" void removeLiveTemporariesAndDie(int signal) {
    const int savedErrno = errno;
    if (const std::size_t length = interruptNoteLength.load(); length > 0) {
        [[maybe_unused]] const ssize_t written =
            ::write(STDERR_FILENO, interruptNote.data(), length);
    }
    for (LiveTemporary& live : liveTemporaries) {
        const int folder = live.folder.load();
        if (folder >= 0) {
            ::unlinkat(folder, live.name, 0);
        }
    }
    errno = savedErrno;
    // The handler was reset to the default on entry, so this ends the
    // process with the signal's own status once the handler returns.
    ::raise(signal);
}

class BlockInterrupts {
  public:
    BlockInterrupts() {
        sigset_t set;
        sigemptyset(&set);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            sigaddset(&set, signal);
        }
        ::pthread_sigmask(SIG_BLOCK, &set, &old_);
    }
    ~BlockInterrupts() { ::pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    BlockInterrupts(const BlockInterrupts&) = delete;
    BlockInterrupts& operator=(const BlockInterrupts&) = delete;

  private:
    sigset_t old_;
};

// Takes the lock that marks a new temporary file as live. Only another run's
// clean-up can hold a file this new, and only for a moment, so a held lock
// is waited for briefly; false when it stays held.
bool lockAsLive(int fd) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) {
            return true;
        }
        ::usleep(5000);
    }
    return false;
}

// The process's file creation mask, for the mode a new file gets. Read, not
// set and restored, so that no other thread's file is made meanwhile with
// the wrong mask.
mode_t creationMask() {
    std::FILE* status = std::fopen("/proc/self/status", "re");
    if (status != nullptr) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status) != nullptr) {
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        }
        std::fclose(status);
        if (found) {
            return static_cast<mode_t>(mask);
        }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

Status statusOfDescriptor(int fd, std::error_code& error) {
    error.clear();
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        error = lastError();
        return {};
    }
    return statusFrom(st);
}

}  // namespace

std::uint64_t processId() {
    return static_cast<unsigned>(::getpid());
}

bool isNotFound(const std::error_code& error) {
    return error.category() == std::system_category() &&
           (error.value() == ENOENT || error.value() == ENOTDIR);
}

bool isAlreadyThere(const std::error_code& error) {
    return error.category() == std::system_category() && error.value() == EEXIST;
}

bool isLink(const std::error_code& error) {
    return error.category() == std::system_category() && error.value() == ELOOP;
}

std::string errorText(const std::error_code& error) {
    return error.message();
}

// --- File

void File::reset() {
    if (handle_ != kInvalid) {
        ::close(fdOf(handle_));
        handle_ = kInvalid;
    }
}

std::error_code File::close() {
    if (handle_ == kInvalid) {
        return {};
    }
    const int result = ::close(fdOf(handle_));
    handle_ = kInvalid;
    return result == 0 ? std::error_code() : lastError();
}

Status File::status(std::error_code& error) const {
    return statusOfDescriptor(fdOf(handle_), error);
}

std::int64_t File::readAt(void* buffer, std::size_t size, std::int64_t offset,
                          std::error_code& error) const {
    return readFully(fdOf(handle_), buffer, size, offset, error);
}

std::int64_t File::read(void* buffer, std::size_t size, std::error_code& error) const {
    return readFully(fdOf(handle_), buffer, size, -1, error);
}

std::int64_t File::readOnce(void* buffer, std::size_t size, std::error_code& error) const {
    error.clear();
    while (true) {
        const ssize_t got = ::read(fdOf(handle_), buffer, size);
        if (got >= 0) {
            return got;
        }
        if (errno != EINTR) {
            error = lastError();
            return -1;
        }
    }
}

std::error_code File::writeAll(const void* data, std::size_t size) const {
    const auto* in = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t put = ::write(fdOf(handle_), in, size);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return lastError();
        }
        in += put;
        size -= static_cast<std::size_t>(put);
    }
    return {};
}

std::error_code File::flushToDisk() const {
    return ::fdatasync(fdOf(handle_)) == 0 ? std::error_code() : lastError();
}

void File::startWriteback(std::int64_t offset, std::int64_t length) const {
#ifdef __linux__
    ::sync_file_range(fdOf(handle_), offset, length, SYNC_FILE_RANGE_WRITE);
#else
    (void)offset;
    (void)length;
#endif
}

void File::startReadahead(std::int64_t offset, std::int64_t length) const {
#ifdef __linux__
    ::posix_fadvise(fdOf(handle_), offset, length, POSIX_FADV_WILLNEED);
#else
    (void)offset;
    (void)length;
#endif
}

std::int64_t copyRange(const File& in, std::int64_t inOffset, const File& out, std::int64_t size,
                       unsigned char* scratch, bool& readFailed, std::error_code& error) {
    readFailed = false;
    error.clear();
    std::int64_t done = 0;
#ifdef __linux__
    // The kernel copies without passing the bytes through user memory; file
    // systems that cannot do it make the loop below take over.
    while (done < size) {
        loff_t offset = inOffset + done;
        const ssize_t copied = ::copy_file_range(
            fdOf(in.native()), inOffset >= 0 ? &offset : nullptr, fdOf(out.native()), nullptr,
            static_cast<std::size_t>(size - done), 0);
        if (copied < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                errno == EBADF || errno == ETXTBSY) {
                break;
            }
            error = lastError();
            return -1;  // which side failed is unknown; callers name both
        }
        if (copied == 0) {
            return done;
        }
        done += copied;
    }
#endif
    return copyThroughBuffer(in, inOffset, out, size, done, scratch, readFailed, error);
}

// --- Folder

void Folder::reset() {
    if (handle_ != File::kInvalid) {
        ::close(fdOf(handle_));
        handle_ = File::kInvalid;
    }
}

Folder Folder::duplicate(std::error_code& error) const {
    error.clear();
    Folder copy;
    const int fd = ::fcntl(fdOf(handle_), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        error = lastError();
        return copy;
    }
    copy.handle_ = fd;
    copy.path_ = path_;
    return copy;
}

Folder Folder::open(const fs::path& path, std::error_code& error) {
    error.clear();
    Folder folder;
    int fd = ::open(cPath(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#ifdef O_PATH
    if (fd < 0 && errno == EACCES) {
        // A folder one may enter and write but not list still takes new
        // entries; listing it fails later, as it should.
        fd = ::open(cPath(path), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
#endif
    if (fd < 0) {
        error = lastError();
        return folder;
    }
    folder.handle_ = fd;
    folder.path_ = path;
    return folder;
}

Status Folder::status(std::error_code& error) const {
    return statusOfDescriptor(fdOf(handle_), error);
}

Status Folder::statusOf(const NativeString& name, Links links, std::error_code& error) const {
    error.clear();
    struct stat st;
    const int flags = links == Links::Follow ? 0 : AT_SYMLINK_NOFOLLOW;
    if (::fstatat(fdOf(handle_), name.c_str(), &st, flags) != 0) {
        error = lastError();
        return missingOr(error);
    }
    return statusFrom(st);
}

std::vector<FolderEntry> Folder::list(std::error_code& error) const {
    error.clear();
    std::vector<FolderEntry> entries;
    // The listing gets its own descriptor, which closedir closes; opened
    // afresh rather than duplicated, so that it reads from the start and a
    // folder opened only to reach inside reports why it cannot be listed.
    const int listingFd = ::openat(fdOf(handle_), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listingFd < 0) {
        error = lastError();
        return entries;
    }
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(listingFd), ::closedir);
    if (!dir) {
        error = lastError();
        ::close(listingFd);
        return entries;
    }
    while (true) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0) {
                error = lastError();
                entries.clear();
            }
            return entries;
        }
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            continue;
        }
        FolderEntry item;
        item.name = name;
        if (entry->d_type == DT_DIR) {
            item.kind = Kind::Folder;
        } else if (entry->d_type == DT_REG || entry->d_type == DT_LNK ||
                   entry->d_type == DT_UNKNOWN) {
            // One stat per file, following links: a link to a folder is a
            // folder, a link to a file that file.
            const Status status = statusOf(item.name, Links::Follow, item.error);
            item.kind = status.kind;
            item.size = status.size;
            item.id = status.id;
        } else {
            item.kind = Kind::Other;
        }
        entries.push_back(std::move(item));
    }
}

Folder Folder::openFolder(const NativeString& name, Links links, std::error_code& error) const {
    error.clear();
    Folder folder;
    const int flags =
        O_RDONLY | O_DIRECTORY | O_CLOEXEC | (links == Links::Follow ? 0 : O_NOFOLLOW);
    const int fd = ::openat(fdOf(handle_), name.c_str(), flags);
    if (fd < 0) {
        error = lastError();
        return folder;
    }
    folder.handle_ = fd;
    return folder;
}

File Folder::openForReading(const NativeString& name, std::error_code& error) const {
    error.clear();
    const int fd = ::openat(fdOf(handle_), name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = lastError();
        return File();
    }
    return File(fd);
}

File Folder::createTruncated(const NativeString& name, std::error_code& error) const {
    error.clear();
    const int fd = ::openat(fdOf(handle_), name.c_str(),
                            O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        error = lastError();
        return File();
    }
    return File(fd);
}

std::error_code Folder::makeFolder(const NativeString& name) const {
    return ::mkdirat(fdOf(handle_), name.c_str(), 0777) == 0 ? std::error_code() : lastError();
}

// --- Paths

Status statusOf(const fs::path& path, Links links, std::error_code& error) {
    error.clear();
    struct stat st;
    const int result =
        links == Links::Follow ? ::stat(cPath(path), &st) : ::lstat(cPath(path), &st);
    if (result != 0) {
        error = lastError();
        return missingOr(error);
    }
    return statusFrom(st);
}

File openForReading(const fs::path& path, std::error_code& error) {
    error.clear();
    const int fd = ::open(cPath(path), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = lastError();
        return File();
    }
    return File(fd);
}

bool fitsBelow(const fs::path&, std::size_t) {
    return true;
}

std::error_code remove(const fs::path& path) {
    return ::unlink(cPath(path)) == 0 ? std::error_code() : lastError();
}

// --- Temporary files

TemporaryFile TemporaryFile::create(const fs::path& folder, const NativeString& prefix,
                                    const NativeString& suffix, std::error_code& error) {
    TemporaryFile temporary;
    temporary.folder_ = Folder::open(folder, error);
    if (error) {
        return temporary;
    }
    const int folderFd = fdOf(temporary.folder_.handle_);
    for (int attempt = 0; attempt < 64; ++attempt) {
        NativeString name = prefix + temporaryRandomPart() + suffix;
        // An interruption between creating and registering would leave the
        // file behind, so it waits until the file is registered.
        const BlockInterrupts blocked;
        // Owner only until replace(): another user who opened it while it is
        // written would keep reading it whatever mode it gets later.
        const int fd =
            ::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            error = lastError();
            return temporary;
        }
        File file(fd);
        // The lock marks the file as live until it is closed, which is after
        // it was renamed into place; a file system without locks leaves it
        // unmarked, and then removeAbandonedTemporaries never removes it.
        if (!lockAsLive(fd)) {
            // Another run's clean-up holds it: unlocked, a later clean-up
            // would take it for abandoned once it has bytes.
            ::unlinkat(folderFd, name.c_str(), 0);
            continue;
        }
        temporary.file_ = std::move(file);
        temporary.name_ = std::move(name);
        temporary.slot_ = registerLive(folderFd, temporary.name_);
        return temporary;
    }
    error = std::make_error_code(std::errc::file_exists);
    return temporary;
}

TemporaryFile::~TemporaryFile() {
    if (!done_ && file_) {
        file_.reset();
        ::unlinkat(fdOf(folder_.handle_), name_.c_str(), 0);
    }
    // Before the folder's descriptor closes and its number can be reused.
    unregisterLive(slot_);
}

fs::path TemporaryFile::path() const {
    return folder_.path_ / name_;
}

std::error_code TemporaryFile::replace(const NativeString& target) {
    const int folderFd = fdOf(folder_.handle_);
    struct stat st;
    if (::fstatat(folderFd, target.c_str(), &st, 0) == 0) {
        if (S_ISREG(st.st_mode)) {
            // Never setuid, setgid or sticky: root packing onto a user's file
            // must not leave a program that runs as root.
            ::fchmod(fdOf(file_.native()), st.st_mode & 0777);
        }
    } else {
        ::fchmod(fdOf(file_.native()), 0666 & ~creationMask());
    }
    if (::renameat(folderFd, name_.c_str(), folderFd, target.c_str()) != 0) {
        return lastError();
    }
    done_ = true;
    unregisterLive(slot_);
    slot_ = -1;
    // Closed only now, so that the lock covers the file until it is in
    // place; its data was flushed before, so close has nothing left to fail.
    file_.reset();
    return {};
}

void removeAbandonedTemporaries(const fs::path& folderPath, const NativeString& prefix,
                                const NativeString& suffix) {
    std::error_code error;
    const Folder folder = Folder::open(folderPath, error);
    if (error) {
        return;
    }
    const int folderFd = fdOf(folder.native());
    // Names only: the folder may hold many files, and only a few can match.
    std::vector<NativeString> names;
    {
        const int listingFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        std::unique_ptr<DIR, int (*)(DIR*)> dir(listingFd < 0 ? nullptr : ::fdopendir(listingFd),
                                                ::closedir);
        if (!dir) {
            if (listingFd >= 0) {
                ::close(listingFd);
            }
            return;
        }
        while (const dirent* entry = ::readdir(dir.get())) {
            const std::string_view name = entry->d_name;
            if (matchesTemporaryPattern(NativeString(name), prefix, suffix)) {
                names.emplace_back(name);
            }
        }
    }
    for (const NativeString& name : names) {
        const File file(
            ::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (!file) {
            continue;
        }
        // A live writer holds the lock from before its first byte: a file
        // that has bytes and whose lock is free belongs to a dead run. An
        // empty one may be a run between creating and locking it.
        if (::flock(fdOf(file.native()), LOCK_EX | LOCK_NB) != 0) {
            continue;
        }
        struct stat opened;
        struct stat named;
        if (::fstat(fdOf(file.native()), &opened) != 0 || !S_ISREG(opened.st_mode) ||
            opened.st_size == 0 ||
            ::fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
            opened.st_dev != named.st_dev || opened.st_ino != named.st_ino) {
            continue;
        }
        ::unlinkat(folderFd, name.c_str(), 0);
    }
}

void setInterruptNote(std::string_view text) {
    interruptNoteLength.store(0);
    const std::size_t length = std::min(text.size(), interruptNote.size());
    std::copy_n(text.data(), length, interruptNote.data());
    interruptNoteLength.store(length);
}

std::size_t spareDescriptors() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return 0;
    }
    // The lowest free number stands for those in use: close enough, since
    // the limit bounds numbers, not counts.
    const int lowestFree = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (lowestFree < 0) {
        return 0;
    }
    ::close(lowestFree);
    if (limit.rlim_cur == RLIM_INFINITY) {
        return static_cast<std::size_t>(INT_MAX);
    }
    return limit.rlim_cur > static_cast<rlim_t>(lowestFree)
               ? static_cast<std::size_t>(limit.rlim_cur - static_cast<rlim_t>(lowestFree))
               : 0;
}

void installInterruptCleanup() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) {
            continue;  // started with it ignored (nohup): keep it so
        }
        struct sigaction action {};
        action.sa_handler = removeLiveTemporariesAndDie;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace tessapak::archive::host
