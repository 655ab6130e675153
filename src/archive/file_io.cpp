#include "archive/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tessapak::archive::io {

void Fd::reset(int fd) {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = fd;
}

int Fd::close() {
    if (fd_ < 0) {
        return 0;
    }
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
}

std::string errorText(int err) {
    return std::system_category().message(err);
}

void fail(ErrorKind kind, ErrorCause cause, const std::filesystem::path& path,
          const std::string& detail, int err) {
    if (err != 0) {
        throw ArchiveError(kind, cause, path, detail + ": " + errorText(err),
                           std::error_code(err, std::system_category()));
    }
    throw ArchiveError(kind, cause, path, detail);
}

namespace {

// Reads until size bytes or the end of the file; a negative offset reads at
// the file's current position.
std::int64_t readFully(int fd, void* buffer, std::size_t size, std::int64_t offset) {
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
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(done);
}

}  // namespace

std::int64_t readAt(int fd, void* buffer, std::size_t size, std::int64_t offset) {
    return readFully(fd, buffer, size, offset);
}

std::int64_t readSome(int fd, void* buffer, std::size_t size) {
    return readFully(fd, buffer, size, -1);
}

int writeAll(int fd, const void* data, std::size_t size) {
    const auto* in = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t put = ::write(fd, in, size);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        in += put;
        size -= static_cast<std::size_t>(put);
    }
    return 0;
}

std::int64_t copyRange(int in, std::int64_t inOffset, int out, std::int64_t size,
                       unsigned char* scratch, bool& readFailed) {
    readFailed = false;
    std::int64_t done = 0;
#ifdef __linux__
    // The kernel copies without passing the bytes through user memory; file
    // systems that cannot do it make the loop below take over.
    while (done < size) {
        loff_t offset = inOffset + done;
        const ssize_t copied = ::copy_file_range(in, inOffset >= 0 ? &offset : nullptr, out,
                                                 nullptr, static_cast<std::size_t>(size - done), 0);
        if (copied < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                errno == EBADF || errno == ETXTBSY) {
                break;
            }
            return -1;  // which side failed is unknown; callers name both
        }
        if (copied == 0) {
            return done;
        }
        done += copied;
    }
#endif
    while (done < size) {
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::int64_t>(size - done, kCopyBufferSize));
        const std::int64_t got = inOffset >= 0 ? readAt(in, scratch, chunk, inOffset + done)
                                               : readSome(in, scratch, chunk);
        if (got < 0) {
            readFailed = true;
            return -1;
        }
        if (got == 0) {
            break;
        }
        const int err = writeAll(out, scratch, static_cast<std::size_t>(got));
        if (err != 0) {
            errno = err;
            return -1;
        }
        done += got;
        if (static_cast<std::size_t>(got) < chunk) {
            break;
        }
    }
    return done;
}

void startWriteback(int fd, std::int64_t offset, std::int64_t length) {
#ifdef __linux__
    ::sync_file_range(fd, offset, length, SYNC_FILE_RANGE_WRITE);
#else
    (void)fd;
    (void)offset;
    (void)length;
#endif
}

}  // namespace tessapak::archive::io
