#pragma once

// The file-system calls of the archive engine, in one place per host:
// host_fs_posix.cpp and host_fs_win32.cpp implement this header, and pack,
// unpack and the folder walk reach the disk only through it. Internal to the
// archive library.
//
// Conventions: paths are std::filesystem::path; a name inside an open folder
// is one component in the host's native string type. Calls that can fail
// take a std::error_code& last, clear it on success and set it (in the
// system category) on failure; they do not throw, except std::bad_alloc.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace tessapak::archive::host {

using NativeString = std::filesystem::path::string_type;

// Longest name of one folder entry: bytes on POSIX, UTF-16 units on Windows.
inline constexpr std::size_t kNameLimit = 255;

// Copies go through buffers of this size, so memory does not grow with a file.
inline constexpr std::size_t kCopyBufferSize = std::size_t{1} << 20;

// Which file or folder a path leads to, whatever the spelling: device or
// volume, and the file's index on it (inode; Windows' 128-bit file id).
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    std::uint64_t indexHigh = 0;
    bool operator==(const FileId&) const = default;
};

struct FileIdHash {
    std::size_t operator()(const FileId& id) const noexcept {
        const std::size_t h = std::hash<std::uint64_t>{}(id.index);
        return h ^ (std::hash<std::uint64_t>{}(id.device ^ id.indexHigh) + 0x9e3779b9 + (h << 6) +
                    (h >> 2));
    }
};

enum class Kind {
    Missing,  // nothing there, a dangling link or a loop of links
    File,     // a regular file
    Folder,
    Link,   // a link, when asked not to follow links
    Other,  // FIFOs, sockets, devices; system entries on Windows
};

struct Status {
    Kind kind = Kind::Missing;
    std::int64_t size = 0;  // files only
    FileId id;
};

enum class Links { Follow, DoNotFollow };

// Error predicates, since codes differ between hosts.
bool isNotFound(const std::error_code& error);      // no such entry, or a path through a non-folder
bool isAlreadyThere(const std::error_code& error);  // creating something that exists
bool isLink(const std::error_code& error);  // met a link (or a loop of them) where none may be

// English text of an error, e.g. "No such file or directory".
std::string errorText(const std::error_code& error);

// An open file; closes itself.
class File {
  public:
    File() = default;
    explicit File(std::intptr_t handle) : handle_(handle) {}
    ~File() { reset(); }
    File(File&& other) noexcept : handle_(other.release()) {}
    File& operator=(File&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = other.release();
        }
        return *this;
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    explicit operator bool() const { return handle_ != kInvalid; }
    std::intptr_t native() const { return handle_; }
    std::intptr_t release() {
        const std::intptr_t handle = handle_;
        handle_ = kInvalid;
        return handle;
    }
    void reset();
    // Closes and reports close's error, for files written to.
    std::error_code close();

    // Kind, size and identity of the open file.
    Status status(std::error_code& error) const;

    // Reads up to size bytes at offset (or from the current position),
    // retrying short reads; returns the bytes read, fewer only at the end of
    // the file, or -1 with error set.
    std::int64_t readAt(void* buffer, std::size_t size, std::int64_t offset,
                        std::error_code& error) const;
    std::int64_t read(void* buffer, std::size_t size, std::error_code& error) const;
    // One read at the current position, not retried when short: on a regular
    // file fewer bytes than asked come back only at its end, so a short read
    // at the expected end needs no further read to confirm it.
    std::int64_t readOnce(void* buffer, std::size_t size, std::error_code& error) const;

    std::error_code writeAll(const void* data, std::size_t size) const;

    // Makes written data durable (not necessarily the metadata).
    std::error_code flushToDisk() const;
    // Asks the host to start writing a range back now, so that the final
    // flush waits for little. Does nothing where that is not available.
    void startWriteback(std::int64_t offset, std::int64_t length) const;
    // Asks the host to start reading a range into its cache now, so that
    // reads of many small files wait on the disk together rather than in
    // turn. Does nothing where that is not available.
    void startReadahead(std::int64_t offset, std::int64_t length) const;

    // INVALID_HANDLE_VALUE is -1 too.
    static constexpr std::intptr_t kInvalid = -1;

  private:
    std::intptr_t handle_ = kInvalid;
};

// Copies size bytes from in (at inOffset when not negative, else from its
// current position) to the current position of out, in the kernel where it
// can. Returns the bytes copied (fewer when in ends early) or -1 with error
// set; readFailed tells which side failed. scratch holds kCopyBufferSize bytes.
std::int64_t copyRange(const File& in, std::int64_t inOffset, const File& out, std::int64_t size,
                       unsigned char* scratch, bool& readFailed, std::error_code& error);

// copyRange's portable part: copies what is left after done bytes through
// scratch. Both hosts end in it, so that they agree on short reads.
std::int64_t copyThroughBuffer(const File& in, std::int64_t inOffset, const File& out,
                               std::int64_t size, std::int64_t done, unsigned char* scratch,
                               bool& readFailed, std::error_code& error);

// One entry of a folder listing.
struct FolderEntry {
    NativeString name;
    Kind kind = Kind::Missing;  // of what the name leads to, links followed
    std::int64_t size = 0;      // files only
    FileId id;                  // files only; a folder's comes from opening it
    std::error_code error;      // why the kind could not be read (kind is then Missing)
};

// An open folder; what lies inside is reached relative to it, so that the
// host's path length limit never applies and a folder renamed or replaced
// after it was opened cannot redirect anything. Closes itself.
class Folder {
  public:
    Folder() = default;
    ~Folder() { reset(); }
    Folder(Folder&& other) noexcept : handle_(other.handle_), path_(std::move(other.path_)) {
        other.handle_ = File::kInvalid;
    }
    Folder& operator=(Folder&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = other.handle_;
            path_ = std::move(other.path_);
            other.handle_ = File::kInvalid;
        }
        return *this;
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // Opens a folder by path, following links (the user chose it).
    static Folder open(const std::filesystem::path& path, std::error_code& error);

    explicit operator bool() const { return handle_ != File::kInvalid; }
    std::intptr_t native() const { return handle_; }
    void reset();

    // Another handle on the same folder, for work on another thread.
    Folder duplicate(std::error_code& error) const;

    Status status(std::error_code& error) const;
    Status statusOf(const NativeString& name, Links links, std::error_code& error) const;

    // Every entry except "." and "..", in the host's order.
    std::vector<FolderEntry> list(std::error_code& error) const;

    Folder openFolder(const NativeString& name, Links links, std::error_code& error) const;
    // Never blocks on a FIFO or device put in place of a file.
    File openForReading(const NativeString& name, std::error_code& error) const;
    // Creates or truncates a file for writing; a link in its place fails.
    File createTruncated(const NativeString& name, std::error_code& error) const;
    std::error_code makeFolder(const NativeString& name) const;

  private:
    friend class TemporaryFile;
    std::intptr_t handle_ = File::kInvalid;
    // The path it was opened by, when opened by path; on hosts that cannot
    // open relative to a handle, whatever path they need.
    std::filesystem::path path_;
};

// Whether a path of relativeLength native units below folder is one the host
// can reach: always on POSIX, where everything is opened relative to its
// folder; on Windows when the whole long-prefixed path stays within 32,767
// UTF-16 units.
bool fitsBelow(const std::filesystem::path& folder, std::size_t relativeLength);

// Path-based calls, for what the user names.
Status statusOf(const std::filesystem::path& path, Links links, std::error_code& error);
// Read-only and never created; never blocks on a FIFO or device.
File openForReading(const std::filesystem::path& path, std::error_code& error);
std::error_code remove(const std::filesystem::path& path);

// A new file beside a target, under a name no other run uses, removed when
// dropped uncommitted, and removed by the interrupt clean-up while it lives.
// Marked as live (a lock on POSIX, no delete sharing on Windows) for as long
// as it is open, so that removeAbandonedTemporaries leaves it alone.
class TemporaryFile {
  public:
    // Creates folder/(prefix + a random part + suffix), exclusively. A new
    // file that another process holds locked (its clean-up looking at it) is
    // waited for briefly, then left for another name.
    static TemporaryFile create(const std::filesystem::path& folder, const NativeString& prefix,
                                const NativeString& suffix, std::error_code& error);
    TemporaryFile() = default;
    ~TemporaryFile();
    TemporaryFile(TemporaryFile&& other) noexcept;
    TemporaryFile& operator=(TemporaryFile&&) = delete;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const File& file() const { return file_; }
    std::filesystem::path path() const;

    // Puts the file in place of target in the same folder, atomically (the
    // old target or the new file, never a mix), and closes it. Flush first.
    // Until then only its owner can open it; it then takes the access rights
    // of the target it replaces (on POSIX the permission bits, 0777 only; on
    // Windows the access list), or, with no target, a new file's defaults.
    std::error_code replace(const NativeString& target);

  private:
    Folder folder_;
    NativeString name_;
    File file_;
    int slot_ = -1;  // in the interrupt clean-up registry
    bool done_ = false;
};

// The random part of a temporary file's name: 16 hexadecimal digits, mixed
// with the process and a counter so that two runs, or two files of one run,
// never draw the same even where std::random_device is not random.
inline constexpr std::size_t kRandomPartLength = 16;
NativeString temporaryRandomPart();

// Whether name is prefix, a part of at least one unit, suffix.
bool matchesTemporaryPattern(const NativeString& name, const NativeString& prefix,
                             const NativeString& suffix);

// This process's id (for the random part above).
std::uint64_t processId();

// Removes folder/(prefix + anything + suffix) files that no live run is
// writing: left by a run that was killed. Errors are ignored: what cannot be
// removed now may be removed by a later run.
void removeAbandonedTemporaries(const std::filesystem::path& folder, const NativeString& prefix,
                                const NativeString& suffix);

// About how many more descriptors (handles on Windows) this process may
// open now; work that only speeds things up holds back where they are few.
std::size_t spareDescriptors();

// Makes interruption of the process (SIGINT, SIGTERM, SIGHUP; Ctrl-C, Ctrl-Break
// and closing the console on Windows) remove every live TemporaryFile, then
// end the process as the interruption would have (exit status 128 + signal).
void installInterruptCleanup();

// Text that an interruption writes to standard error as it ends the process,
// for a run whose end leaves something the user must be told of; empty for
// none. Only the first few kilobytes are kept.
void setInterruptNote(std::string_view text);

}  // namespace tessapak::archive::host
