#include "archive/unpack.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "archive/archive_error.h"
#include "archive/extract_pool.h"
#include "archive/file_io.h"
#include "archive/names.h"

namespace tessapak::archive {

namespace {

namespace fs = std::filesystem;

// Creating a file costs about as much as writing this many bytes, for
// balancing the workers.
constexpr std::int64_t kCostPerFile = 32 * 1024;

std::string entryLabel(std::size_t index, const std::u16string& name) {
    return "entry " + std::to_string(index + 1) + " (" + displayName(name) + ")";
}

// Names past the host's limits would fail halfway through a run, after
// other files were written; they are refused with the rest of the checks.
bool fitsHostLimits(const std::string& relative) {
    constexpr std::size_t kComponentLimit = NAME_MAX;
    constexpr std::size_t kPathLimit = PATH_MAX - 1;
    if (relative.size() > kPathLimit) {
        return false;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = relative.find('/', start);
        const std::size_t end = slash == std::string::npos ? relative.size() : slash;
        if (end - start > kComponentLimit) {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
        start = slash + 1;
    }
}

[[noreturn]] void damaged(ErrorCause cause, const fs::path& path, const std::string& detail) {
    throw ArchiveError(ErrorKind::DamagedArchive, cause, path, detail);
}

}  // namespace

struct ArchiveReader::State {
    fs::path path;
    io::Fd fd;
    std::int64_t length = 0;
    RdbHeader header;
    std::vector<RdbEntry> entries;
    std::int64_t dataStart = 0;
    bool directoryRead = false;

    std::unique_ptr<unsigned char[]> buffer;
    std::int64_t windowStart = 0;
    std::int64_t windowLength = 0;

    unsigned char* ensureBuffer() {
        if (!buffer) {
            buffer = std::make_unique<unsigned char[]>(io::kCopyBufferSize);
        }
        return buffer.get();
    }

    [[noreturn]] void readFailed(int err) {
        io::fail(ErrorKind::FileSystem, ErrorCause::CannotRead, path, "cannot read the archive",
                 err);
    }

    [[noreturn]] void shrank() {
        damaged(ErrorCause::ArchiveTruncated, path, "the archive became shorter while it was read");
    }

    // The bytes [offset, offset + size) of the archive, for a short entry.
    const unsigned char* window(std::int64_t offset, std::int64_t size) {
        if (offset < windowStart || offset + size > windowStart + windowLength) {
            unsigned char* data = ensureBuffer();
            const auto want = static_cast<std::size_t>(
                std::min<std::int64_t>(static_cast<std::int64_t>(io::kCopyBufferSize),
                                       std::max<std::int64_t>(length - offset, size)));
            windowStart = offset;
            windowLength = 0;
            const std::int64_t got = io::readAt(fd.get(), data, want, offset);
            if (got < 0) {
                readFailed(errno);
            }
            windowLength = got;
            if (got < size) {
                shrank();
            }
        }
        return buffer.get() + (offset - windowStart);
    }
};

fs::path baseNameFor(const fs::path& archive) {
    const std::string name = archive.filename().string();
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return name;
    }
    std::string base = name.substr(0, dot);
    if (base == "." || base == "..") {
        return name;  // "..rdb" must not name the output folder or its parent
    }
    return base;
}

fs::path chooseTargetFolder(const fs::path& outputFolder, const fs::path& baseName) {
    fs::path candidate = outputFolder / baseName;
    struct stat st;
    for (std::int64_t suffix = 1; ::lstat(candidate.c_str(), &st) == 0; ++suffix) {
        candidate = outputFolder / (baseName.string() + " (" + std::to_string(suffix) + ")");
    }
    return candidate;
}

ArchiveReader::ArchiveReader(const fs::path& archive) : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.path = archive;
    // Read-only and never created; non-blocking so that a FIFO cannot hang us.
    s.fd = io::Fd(::open(archive.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!s.fd) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR) {
            throw ArchiveError(ErrorKind::FileSystem, ErrorCause::ArchiveMissing, archive,
                               "there is no file of that name");
        }
        io::fail(ErrorKind::FileSystem, ErrorCause::CannotOpen, archive, "cannot open the archive",
                 err);
    }
    struct stat st;
    if (::fstat(s.fd.get(), &st) != 0) {
        io::fail(ErrorKind::FileSystem, ErrorCause::CannotOpen, archive, "cannot open the archive",
                 errno);
    }
    if (S_ISDIR(st.st_mode)) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::CannotOpen, archive,
                           "this is a folder, not an archive file");
    }
    if (!S_ISREG(st.st_mode)) {
        throw ArchiveError(ErrorKind::NotAnArchive, ErrorCause::BadMagic, archive,
                           "this is not a regular file, so not an RDB archive");
    }
    s.length = st.st_size;
    std::array<std::uint8_t, kMagicSize> magic{};
    const std::int64_t got = io::readAt(s.fd.get(), magic.data(), magic.size(), 0);
    if (got < 0) {
        s.readFailed(errno);
    }
    if (got < static_cast<std::int64_t>(kMagicSize)) {
        throw ArchiveError(ErrorKind::NotAnArchive, ErrorCause::BadMagic, archive,
                           "the file is too short to be an RDB archive");
    }
    if (!magicMatches(magic)) {
        throw ArchiveError(ErrorKind::NotAnArchive, ErrorCause::BadMagic, archive,
                           "the file does not start with the RDB magic, so it is not an RDB "
                           "archive");
    }
}

ArchiveReader::~ArchiveReader() = default;

void ArchiveReader::readDirectory() {
    State& s = *state_;
    const fs::path& path = s.path;
    s.entries.clear();
    s.directoryRead = false;

    if (s.length < static_cast<std::int64_t>(kHeaderSize)) {
        damaged(ErrorCause::ArchiveTruncated, path,
                "the header is cut short: the file has " + std::to_string(s.length) +
                    " bytes, the header needs 36");
    }
    std::array<std::uint8_t, kHeaderSize> headerBytes{};
    const std::int64_t got = io::readAt(s.fd.get(), headerBytes.data(), kHeaderSize, 0);
    if (got < 0) {
        s.readFailed(errno);
    }
    if (got < static_cast<std::int64_t>(kHeaderSize)) {
        s.shrank();
    }
    const RdbHeader header = decodeHeader(headerBytes);
    if (header.EntryCount < 0) {
        damaged(ErrorCause::BadHeader, path,
                "the entry count is negative (" + std::to_string(header.EntryCount) + ")");
    }
    if (header.DirOffset < 0) {
        damaged(ErrorCause::BadHeader, path,
                "the directory offset is negative (" + std::to_string(header.DirOffset) + ")");
    }
    if (header.DirSize < 0) {
        damaged(ErrorCause::BadHeader, path,
                "the directory size is negative (" + std::to_string(header.DirSize) + ")");
    }
    const std::int64_t dirStart = header.DirOffset;
    const std::int64_t dirEnd = dirStart + header.DirSize;
    if (dirEnd > kFormatLimit) {
        damaged(ErrorCause::BadHeader, path,
                "the directory offset and size add up to more than 2,147,483,647");
    }
    if (dirEnd > s.length) {
        damaged(ErrorCause::ArchiveTruncated, path,
                "the directory reaches past the end of the file (it ends at " +
                    std::to_string(dirEnd) + ", the file has " + std::to_string(s.length) +
                    " bytes)");
    }
    // Every entry takes at least 18 bytes, so the count is checked against the
    // directory before anything is allocated for it.
    if (static_cast<std::int64_t>(header.EntryCount) * static_cast<std::int64_t>(kEntryFixedSize) >
        header.DirSize) {
        damaged(ErrorCause::ArchiveTruncated, path,
                "the directory of " + std::to_string(header.DirSize) + " bytes is too short for " +
                    std::to_string(header.EntryCount) + " entries");
    }

    std::vector<std::uint8_t> directory(static_cast<std::size_t>(header.DirSize));
    const std::int64_t dirGot =
        io::readAt(s.fd.get(), directory.data(), directory.size(), dirStart);
    if (dirGot < 0) {
        s.readFailed(errno);
    }
    if (dirGot < header.DirSize) {
        s.shrank();
    }

    std::vector<RdbEntry> entries(static_cast<std::size_t>(header.EntryCount));
    std::unordered_set<std::u16string> folderNames;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        RdbEntry& entry = entries[i];
        const std::string number = "entry " + std::to_string(i + 1);
        switch (decodeEntry(directory, pos, entry)) {
            case EntryDecodeFailure::None:
                break;
            case EntryDecodeFailure::NoTerminator:
                damaged(ErrorCause::ArchiveTruncated, path,
                        number + ": the name has no terminator within the directory");
            case EntryDecodeFailure::CutShort:
                damaged(ErrorCause::ArchiveTruncated, path,
                        number + ": the entry is cut short by the end of the directory");
        }
        const std::string unsafe = unsafeNameReason(entry.Name);
        if (!unsafe.empty()) {
            damaged(ErrorCause::UnsafeName, path, entryLabel(i, entry.Name) + ": " + unsafe);
        }
        if (entry.DataOffset < 0 || entry.DataSize < 0) {
            damaged(ErrorCause::BadHeader, path,
                    entryLabel(i, entry.Name) + ": negative data offset or size");
        }
        const std::int64_t start = dirEnd + entry.DataOffset;
        const std::int64_t end = start + entry.DataSize;
        if (start > kFormatLimit || end > kFormatLimit) {
            damaged(ErrorCause::BadHeader, path,
                    entryLabel(i, entry.Name) +
                        ": the data offset and size add up to more than 2,147,483,647");
        }
        if (end > s.length) {
            damaged(ErrorCause::ArchiveTruncated, path,
                    entryLabel(i, entry.Name) + ": the data reaches past the end of the file");
        }
        for (std::size_t k = 0; k < entry.Name.size(); ++k) {
            if (entry.Name[k] == u'\\') {
                folderNames.insert(entry.Name.substr(0, k));
            }
        }
        if (!fitsHostLimits(hostPathFor(entry.Name)->native())) {
            throw ArchiveError(
                ErrorKind::LimitExceeded, ErrorCause::NameNotRepresentable, path,
                entryLabel(i, entry.Name) + ": the name is too long for a file on this system");
        }
    }
    // "a" as a file and "a\b" would need "a" to be both; catching it here
    // keeps a doomed run from creating anything.
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (folderNames.count(entries[i].Name) != 0) {
            damaged(
                ErrorCause::UnsafeName, path,
                entryLabel(i, entries[i].Name) + ": the name is used for a file and for a folder");
        }
    }

    s.header = header;
    s.entries = std::move(entries);
    s.dataStart = dirEnd;
    s.directoryRead = true;
}

const RdbHeader& ArchiveReader::header() const {
    return state_->header;
}

const std::vector<RdbEntry>& ArchiveReader::entries() const {
    return state_->entries;
}

const fs::path& ArchiveReader::path() const {
    return state_->path;
}

fs::path ArchiveReader::extractTo(const fs::path& outputFolder, const ProgressCallback& progress) {
    State& s = *state_;
    if (!s.directoryRead) {
        readDirectory();
    }
    struct stat st;
    if (::stat(outputFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::OutputFolderMissing, outputFolder,
                           "the folder to unpack into does not exist");
    }

    const fs::path base = baseNameFor(s.path);
    fs::path target;
    while (true) {
        target = chooseTargetFolder(outputFolder, base);
        if (::mkdir(target.c_str(), 0777) == 0) {
            break;
        }
        if (errno != EEXIST) {  // EEXIST: taken since we looked; try the next name
            io::fail(ErrorKind::FileSystem, ErrorCause::CannotCreate, target,
                     "cannot create the folder", errno);
        }
    }
    io::Fd targetFd(::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!targetFd) {
        io::fail(ErrorKind::FileSystem, ErrorCause::CannotOpen, target, "cannot open the folder",
                 errno);
    }

    // Entries are grouped by folder; each group goes to one worker, which
    // keeps the archive's order inside it.
    std::vector<ExtractGroup> groups;
    std::vector<std::string> relatives(s.entries.size());
    {
        std::unordered_map<std::string, std::size_t> groupOf;
        for (std::size_t i = 0; i < s.entries.size(); ++i) {
            relatives[i] = hostPathFor(s.entries[i].Name)->native();
            const std::size_t slash = relatives[i].rfind('/');
            const std::string folder =
                slash == std::string::npos ? std::string() : relatives[i].substr(0, slash);
            const auto [it, added] = groupOf.try_emplace(folder, groups.size());
            if (added) {
                groups.emplace_back();
            }
            ExtractGroup& group = groups[it->second];
            group.entries.push_back(i);
            group.cost += s.entries[i].DataSize + kCostPerFile;
        }
    }

    struct Worker {
        std::unordered_set<std::string> madeFolders;
        std::unique_ptr<unsigned char[]> scratch;
    };
    const unsigned workers = extractWorkerCount(std::thread::hardware_concurrency());
    std::vector<Worker> state(workers);
    const auto write = [&](unsigned worker, std::size_t i) {
        Worker& w = state[worker];
        const RdbEntry& entry = s.entries[i];
        const std::string& relative = relatives[i];
        for (std::size_t slash = relative.find('/'); slash != std::string::npos;
             slash = relative.find('/', slash + 1)) {
            std::string folder = relative.substr(0, slash);
            if (w.madeFolders.count(folder) != 0) {
                continue;
            }
            // Another worker may have made it a moment ago.
            if (::mkdirat(targetFd.get(), folder.c_str(), 0777) != 0 && errno != EEXIST) {
                io::fail(ErrorKind::FileSystem, ErrorCause::CannotCreate, target / folder,
                         "cannot create the folder", errno);
            }
            w.madeFolders.insert(std::move(folder));
        }

        // Truncating, so that a later entry of the same name leaves only its own bytes.
        io::Fd out(::openat(targetFd.get(), relative.c_str(),
                            O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666));
        if (!out) {
            io::fail(ErrorKind::FileSystem, ErrorCause::CannotCreate, target / relative,
                     "cannot create the file", errno);
        }
        const std::int64_t offset = s.dataStart + entry.DataOffset;
        const std::int64_t size = entry.DataSize;
        if (size > 0) {
            if (!w.scratch) {
                w.scratch.reset(new unsigned char[io::kCopyBufferSize]);
            }
            bool readFailed = false;
            const std::int64_t copied =
                io::copyRange(s.fd.get(), offset, out.get(), size, w.scratch.get(), readFailed);
            if (copied < 0) {
                if (readFailed) {
                    s.readFailed(errno);
                }
                io::fail(ErrorKind::FileSystem, ErrorCause::CannotWrite, target / relative,
                         "cannot write the file", errno);
            }
            if (copied < size) {
                s.shrank();
            }
        }
        if (const int err = out.close(); err != 0) {
            io::fail(ErrorKind::FileSystem, ErrorCause::CannotWrite, target / relative,
                     "cannot write the file", err);
        }
    };
    runExtractPool(std::move(groups), workers, write, progress);
    return target;
}

void ArchiveReader::checkData() {
    State& s = *state_;
    if (!s.directoryRead) {
        readDirectory();
    }
    for (const RdbEntry& entry : s.entries) {
        std::int64_t offset = s.dataStart + entry.DataOffset;
        std::int64_t left = entry.DataSize;
        while (left > 0) {
            const std::int64_t chunk =
                std::min<std::int64_t>(left, static_cast<std::int64_t>(io::kCopyBufferSize));
            s.window(offset, chunk);
            offset += chunk;
            left -= chunk;
        }
    }
}

fs::path unpackArchive(const fs::path& archive, const fs::path& outputFolder,
                       const ProgressCallback& progress) {
    ArchiveReader reader(archive);
    reader.readDirectory();
    return reader.extractTo(outputFolder, progress);
}

}  // namespace tessapak::archive
