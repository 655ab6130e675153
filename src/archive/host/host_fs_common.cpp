#include <algorithm>

#include "archive/host/host_fs.h"

namespace tessapak::archive::host {

std::int64_t copyThroughBuffer(const File& in, std::int64_t inOffset, const File& out,
                               std::int64_t size, std::int64_t done, unsigned char* scratch,
                               bool& readFailed, std::error_code& error) {
    while (done < size) {
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::int64_t>(size - done, kCopyBufferSize));
        const std::int64_t got = inOffset >= 0 ? in.readAt(scratch, chunk, inOffset + done, error)
                                               : in.read(scratch, chunk, error);
        if (got < 0) {
            readFailed = true;
            return -1;
        }
        if (got == 0) {
            break;
        }
        error = out.writeAll(scratch, static_cast<std::size_t>(got));
        if (error) {
            return -1;
        }
        done += got;
        if (static_cast<std::size_t>(got) < chunk) {
            break;
        }
    }
    return done;
}

}  // namespace tessapak::archive::host
