#include <algorithm>
#include <atomic>
#include <random>

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

NativeString temporaryRandomPart() {
    static std::atomic<unsigned> counter{0};
    std::random_device device;
    std::uint64_t bits = (std::uint64_t{device()} << 32) ^ device();
    bits ^= (processId() << 20) ^ counter.fetch_add(1);
    constexpr std::string_view kHex = "0123456789abcdef";
    NativeString text(kRandomPartLength, '0');
    for (auto& c : text) {
        c = static_cast<NativeString::value_type>(kHex[bits & 0xF]);
        bits >>= 4;
    }
    return text;
}

bool matchesTemporaryPattern(const NativeString& name, const NativeString& prefix,
                             const NativeString& suffix) {
    return name.size() > prefix.size() + suffix.size() &&
           name.compare(0, prefix.size(), prefix) == 0 &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept
    : folder_(std::move(other.folder_)),
      name_(std::move(other.name_)),
      file_(std::move(other.file_)),
      slot_(other.slot_),
      done_(other.done_) {
    other.slot_ = -1;
    other.done_ = true;
}

}  // namespace tessapak::archive::host
