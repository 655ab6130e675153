#pragma once

// Small POSIX helpers shared by pack and unpack. Internal to the archive library.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "archive/archive_error.h"

namespace tessapak::archive::io {

// Copies go through buffers of this size, so memory does not grow with a file.
inline constexpr std::size_t kCopyBufferSize = std::size_t{1} << 20;

// Owns one file descriptor.
class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1);
    // Closes and reports close's error (0 when fine), for files written to.
    int close();

  private:
    int fd_ = -1;
};

// English text for an errno value, e.g. "No such file or directory".
std::string errorText(int err);

[[noreturn]] void fail(ErrorKind kind, ErrorCause cause, const std::filesystem::path& path,
                       const std::string& detail, int err = 0);

// Reads up to size bytes at offset, retrying short reads; returns the bytes
// read (fewer only at the end of the file) or -1 with errno set.
std::int64_t readAt(int fd, void* buffer, std::size_t size, std::int64_t offset);

// Reads up to size bytes from the current position, retrying short reads.
std::int64_t readSome(int fd, void* buffer, std::size_t size);

// Writes all bytes; returns 0 or an errno value.
int writeAll(int fd, const void* data, std::size_t size);

// Copies size bytes from in (at inOffset when not negative, else from its
// current position) to the current position of out, in the kernel where it
// can. Returns the bytes copied (fewer when in ends early) or -1 with errno
// set; readFailed tells which side failed. scratch holds kCopyBufferSize bytes.
std::int64_t copyRange(int in, std::int64_t inOffset, int out, std::int64_t size,
                       unsigned char* scratch, bool& readFailed);

// Asks the kernel to start writing back a range now, so that the final
// flush waits for little. Does nothing where that is not available.
void startWriteback(int fd, std::int64_t offset, std::int64_t length);

}  // namespace tessapak::archive::io
