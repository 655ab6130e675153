#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace tessapak::archive {

// What went wrong, coarse enough for a caller to choose its message.
enum class ErrorKind {
    NotAnArchive,    // the file's first 16 bytes are not the magic
    DamagedArchive,  // the header or directory does not fit the file, or a name is unsafe
    FileSystem,      // a file or folder could not be opened, read, created or written
    LimitExceeded,   // the format cannot hold what was asked (2 GiB, counts, unrepresentable names)
};

// Finer cause, so that a window can word its own message from it.
enum class ErrorCause {
    BadMagic,
    ArchiveMissing,       // the archive path names no file
    ArchiveTruncated,     // header, directory or data reach past the end of the file
    BadHeader,            // negative count, offset or size; sums that overflow
    UnsafeName,           // an entry name that could leave the target folder or is malformed
    OutputFolderMissing,  // the folder to unpack or pack into does not exist
    CannotOpen,           // opening a file for reading failed
    CannotRead,
    CannotCreate,  // creating a file or folder failed
    CannotWrite,
    FileChanged,           // a listed file vanished or changed its length since the walk
    NameNotRepresentable,  // a file name the format cannot store
    ArchiveTooLarge,       // the archive would pass 2,147,483,647 bytes
    TooManyEntries,        // more entries than a signed 32-bit count holds
    NoSuchEntry,           // a name given to remove picks no entry of the archive
};

// The one exception the archive engine throws. what() is an English line
// naming the path (in its shown form, see display_text.h) and the cause, fit
// for the command-line tool; path() keeps the path itself.
class ArchiveError : public std::runtime_error {
  public:
    ArchiveError(ErrorKind kind, ErrorCause cause, std::filesystem::path path, std::string detail,
                 std::error_code code = {});

    ErrorKind kind() const noexcept { return kind_; }
    ErrorCause cause() const noexcept { return cause_; }
    const std::filesystem::path& path() const noexcept { return path_; }
    // English description of the cause without the path, e.g. "entry 3 reaches past the end".
    const std::string& detail() const noexcept { return detail_; }
    // The operating system's error, when there was one.
    std::error_code code() const noexcept { return code_; }

  private:
    ErrorKind kind_;
    ErrorCause cause_;
    std::filesystem::path path_;
    std::string detail_;
    std::error_code code_;
};

// English text of an operating system's error, e.g. "No such file or directory".
std::string errorText(const std::error_code& error);

// Throws ArchiveError; with a system error, its text follows the detail.
[[noreturn]] void failWith(ErrorKind kind, ErrorCause cause, const std::filesystem::path& path,
                           const std::string& detail, const std::error_code& error = {});

}  // namespace tessapak::archive
