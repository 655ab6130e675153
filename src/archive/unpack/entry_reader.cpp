#include "archive/entry_reader.h"

#include <algorithm>

#include "archive/archive_error.h"
#include "archive/display_text.h"
#include "archive/format/names.h"
#include "archive/host/host_fs.h"

namespace tessapak::archive {

struct EntryReader::State {
    const ArchiveReader& reader;
    host::File file;
    std::int64_t dataStart = 0;
};

EntryReader::EntryReader(const ArchiveReader& reader)
    : state_(std::make_unique<State>(State{reader, {}, 0})) {
    const std::filesystem::path& path = reader.path();
    std::error_code error;
    state_->file = host::openForReading(path, error);
    if (error) {
        failWith(ErrorKind::FileSystem, ErrorCause::CannotOpen, path, "cannot open the archive",
                 error);
    }
    // The reader checked that this sum fits and lies inside the file.
    state_->dataStart = std::int64_t{reader.header().DirOffset} + reader.header().DirSize;
}

EntryReader::~EntryReader() = default;

std::size_t EntryReader::readPart(std::size_t index, std::int64_t from, void* buffer,
                                  std::size_t size) const {
    const State& s = *state_;
    const std::vector<RdbEntry>& entries = s.reader.entries();
    if (index >= entries.size()) {
        throw std::out_of_range("no entry " + std::to_string(index + 1));
    }
    const RdbEntry& entry = entries[index];
    if (from < 0 || from >= entry.DataSize || size == 0) {
        return 0;
    }
    const std::size_t want = static_cast<std::size_t>(
        std::min<std::int64_t>(entry.DataSize - from, static_cast<std::int64_t>(size)));
    std::error_code error;
    const std::int64_t got =
        s.file.readAt(buffer, want, s.dataStart + entry.DataOffset + from, error);
    if (got < 0) {
        failWith(ErrorKind::FileSystem, ErrorCause::CannotRead, s.reader.path(),
                 "cannot read the archive", error);
    }
    if (static_cast<std::size_t>(got) < want) {
        throw ArchiveError(ErrorKind::DamagedArchive, ErrorCause::ArchiveTruncated, s.reader.path(),
                           "entry " + std::to_string(index + 1) + " (" + displayName(entry.Name) +
                               "): the archive became shorter while it was read");
    }
    return want;
}

std::string EntryReader::readAll(std::size_t index, std::int64_t limit) const {
    const std::vector<RdbEntry>& entries = state_->reader.entries();
    if (index >= entries.size()) {
        throw std::out_of_range("no entry " + std::to_string(index + 1));
    }
    const RdbEntry& entry = entries[index];
    if (entry.DataSize > limit) {
        throw ArchiveError(ErrorKind::LimitExceeded, ErrorCause::ArchiveTooLarge,
                           state_->reader.path(),
                           "entry " + std::to_string(index + 1) + " (" + displayName(entry.Name) +
                               ") has " + std::to_string(entry.DataSize) +
                               " bytes, more than the " + std::to_string(limit) + " allowed here");
    }
    std::string bytes(static_cast<std::size_t>(entry.DataSize), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t part = std::min(bytes.size() - done, host::kCopyBufferSize);
        done += readPart(index, static_cast<std::int64_t>(done), bytes.data() + done, part);
    }
    return bytes;
}

}  // namespace tessapak::archive
