#include "archive/unpack.h"

#include <algorithm>
#include <numeric>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_map>

#include "archive/archive_error.h"
#include "archive/display_text.h"
#include "archive/format/name_clash.h"
#include "archive/format/names.h"
#include "archive/host/folder_chain.h"
#include "archive/host/host_fs.h"
#include "archive/unpack/extract_pool.h"

namespace tessapak::archive {

namespace {

namespace fs = std::filesystem;

// Creating a file costs about as much as writing this many bytes, for
// balancing the workers.
constexpr std::int64_t kCostPerFile = 32 * 1024;

std::string entryLabel(std::size_t index, const std::u16string& name) {
    return "entry " + std::to_string(index + 1) + " (" + displayName(name) + ")";
}

// Folders are made relative to their parent, so only one component's length
// is bounded by the host; a name past it would fail halfway through a run,
// after other files were written, so it is refused with the other checks.
bool fitsHostLimits(const std::u16string& storedName) {
    return longestHostComponent(storedName) <= host::kNameLimit;
}

// The directory, read in bounded chunks: what it costs follows the bytes
// really read, never a count stored in the header.
class DirectoryStream {
  public:
    DirectoryStream(const host::File& file, std::int64_t start, std::int64_t end)
        : file_(file), next_(start), end_(end) {}

    EntryDecodeFailure read(RdbEntry& entry, std::error_code& error) {
        entry.Name.clear();
        while (true) {
            std::uint8_t unit[2];
            if (!take(unit, 2, error)) {
                return EntryDecodeFailure::NoTerminator;
            }
            if (unit[0] == 0 && unit[1] == 0) {
                break;
            }
            entry.Name.push_back(static_cast<char16_t>(unit[0] | unit[1] << 8));
        }
        std::uint8_t words[kEntryFixedSize - kTerminatorSize];
        if (!take(words, sizeof words, error)) {
            return EntryDecodeFailure::CutShort;
        }
        // The words decoded as an entry with an empty name.
        std::uint8_t fixed[kEntryFixedSize] = {};
        std::copy(words, words + sizeof words, fixed + kTerminatorSize);
        RdbEntry decoded;
        std::size_t pos = 0;
        decodeEntry(fixed, pos, decoded);
        decoded.Name = std::move(entry.Name);
        entry = std::move(decoded);
        return EntryDecodeFailure::None;
    }

    // The archive ended before the directory did.
    bool shrank() const { return shrank_; }

  private:
    static constexpr std::size_t kChunk = std::size_t{64} << 10;

    // Copies size bytes of the directory, or returns false where it ends
    // first (or the file became shorter, or a read failed: error tells).
    bool take(std::uint8_t* out, std::size_t size, std::error_code& error) {
        while (size > 0) {
            if (at_ == have_) {
                if (next_ == end_) {
                    return false;
                }
                chunk_.resize(kChunk);
                const auto want =
                    static_cast<std::size_t>(std::min<std::int64_t>(kChunk, end_ - next_));
                const std::int64_t got = file_.readAt(chunk_.data(), want, next_, error);
                if (got <= 0) {
                    if (got == 0) {
                        shrank_ = true;
                    }
                    return false;
                }
                next_ += got;
                at_ = 0;
                have_ = static_cast<std::size_t>(got);
            }
            const std::size_t n = std::min(size, have_ - at_);
            std::copy(chunk_.data() + at_, chunk_.data() + at_ + n, out);
            at_ += n;
            out += n;
            size -= n;
        }
        return true;
    }

    const host::File& file_;
    std::int64_t next_;
    std::int64_t end_;
    std::vector<std::uint8_t> chunk_;
    std::size_t at_ = 0;
    std::size_t have_ = 0;
    bool shrank_ = false;
};

[[noreturn]] void damaged(ErrorCause cause, const fs::path& path, const std::string& detail) {
    throw ArchiveError(ErrorKind::DamagedArchive, cause, path, detail);
}

// The first entry whose name is also the folder of another entry, or
// entries.size(). Sorting finds every name below a folder right after the
// folder's name plus "\\", without recording every folder of every name.
std::size_t firstFileAlsoAFolder(const std::vector<RdbEntry>& entries) {
    std::vector<std::uint32_t> order(entries.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return entries[a].Name < entries[b].Name; });
    for (std::size_t i = 0; i < entries.size(); ++i) {
        // Compared with the name plus "\\" without copying it: one name may
        // be most of a large directory.
        const std::u16string_view folder = entries[i].Name;
        const auto belowFolder = [&](std::uint32_t k) {
            const std::u16string_view name = entries[k].Name;
            return name.size() > folder.size() && name.starts_with(folder) &&
                   name[folder.size()] == u'\\';
        };
        const auto below = std::partition_point(order.begin(), order.end(), [&](std::uint32_t k) {
            const std::u16string_view name = entries[k].Name;
            const int sign = name.substr(0, folder.size()).compare(folder);
            return sign != 0 ? sign < 0
                             : name.size() <= folder.size() || name[folder.size()] < u'\\';
        });
        if (below != order.end() && belowFolder(*below)) {
            return i;
        }
    }
    return entries.size();
}

// The first pair of entries (in data order) whose data ranges share a byte,
// or nothing. Our writer stores each entry's data once, back to back, so
// shared bytes only come from a crafted archive, where they would let a
// small file unpack into a huge tree.
std::optional<std::pair<std::size_t, std::size_t>> firstOverlap(
    const std::vector<RdbEntry>& entries) {
    std::vector<std::uint32_t> order;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].DataSize > 0) {
            order.push_back(static_cast<std::uint32_t>(i));
        }
    }
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return std::pair(entries[a].DataOffset, a) < std::pair(entries[b].DataOffset, b);
    });
    for (std::size_t k = 1; k < order.size(); ++k) {
        const RdbEntry& before = entries[order[k - 1]];
        // Sorted by start and disjoint so far, so the previous range ends last.
        if (entries[order[k]].DataOffset < before.DataOffset + before.DataSize) {
            return std::pair<std::size_t, std::size_t>(order[k], order[k - 1]);
        }
    }
    return std::nullopt;
}

// One extraction worker's chain of open folders and its copy buffer.
struct ExtractWorker {
    std::optional<FolderChain> folders;
    std::unique_ptr<unsigned char[]> scratch;
};

}  // namespace

struct ArchiveReader::State {
    fs::path path;
    host::File file;
    std::int64_t length = 0;
    RdbHeader header;
    std::vector<RdbEntry> entries;
    std::size_t longestEntry = 0;  // the entry with the longest name
    std::int64_t dataStart = 0;
    bool directoryRead = false;

    std::unique_ptr<unsigned char[]> buffer;
    std::int64_t windowStart = 0;
    std::int64_t windowLength = 0;

    unsigned char* ensureBuffer() {
        if (!buffer) {
            buffer = std::make_unique<unsigned char[]>(host::kCopyBufferSize);
        }
        return buffer.get();
    }

    [[noreturn]] void readFailed(const std::error_code& error) {
        failWith(ErrorKind::FileSystem, ErrorCause::CannotRead, path, "cannot read the archive",
                 error);
    }

    [[noreturn]] void shrank() {
        damaged(ErrorCause::ArchiveTruncated, path, "the archive became shorter while it was read");
    }

    // The header, checked against the file's length.
    RdbHeader readHeader();
    // The next entry of the directory, checked against the file's length,
    // the name rules and this host's limits.
    RdbEntry readEntry(DirectoryStream& directory, std::size_t index, std::int64_t dataStart);
    // Creates the first free target folder for this archive inside
    // outputFolder and opens it; target is told its path.
    host::Folder createTarget(const fs::path& outputFolder, fs::path& target);
    // Writes entry i below target through the worker's folders.
    void writeEntry(ExtractWorker& worker, const fs::path& target, std::size_t i);

    // The bytes [offset, offset + size) of the archive, for a short entry.
    const unsigned char* window(std::int64_t offset, std::int64_t size) {
        if (offset < windowStart || offset + size > windowStart + windowLength) {
            unsigned char* data = ensureBuffer();
            const auto want = static_cast<std::size_t>(
                std::min<std::int64_t>(static_cast<std::int64_t>(host::kCopyBufferSize),
                                       std::max<std::int64_t>(length - offset, size)));
            windowStart = offset;
            windowLength = 0;
            std::error_code error;
            const std::int64_t got = file.readAt(data, want, offset, error);
            if (got < 0) {
                readFailed(error);
            }
            windowLength = got;
            if (got < size) {
                shrank();
            }
        }
        return buffer.get() + (offset - windowStart);
    }
};

ArchiveReader::ArchiveReader(const fs::path& archive) : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.path = archive;
    // Windows would open the device, which may never answer (CON) or hide
    // a real file of that name.
    if (hostNameRules() == NameRules::Windows && isWindowsDeviceName(archive)) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::CannotOpen, archive,
                           "the name is a Windows device name (such as NUL, CON or COM1), "
                           "not an archive file");
    }
    std::error_code error;
    // Read-only and never created; non-blocking so that a FIFO cannot hang us.
    s.file = host::openForReading(archive, error);
    if (error) {
        if (host::isNotFound(error)) {
            throw ArchiveError(ErrorKind::FileSystem, ErrorCause::ArchiveMissing, archive,
                               "there is no file of that name");
        }
        failWith(ErrorKind::FileSystem, ErrorCause::CannotOpen, archive, "cannot open the archive",
                 error);
    }
    const host::Status status = s.file.status(error);
    if (error) {
        failWith(ErrorKind::FileSystem, ErrorCause::CannotOpen, archive, "cannot open the archive",
                 error);
    }
    if (status.kind == host::Kind::Folder) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::CannotOpen, archive,
                           "this is a folder, not an archive file");
    }
    if (status.kind != host::Kind::File) {
        throw ArchiveError(ErrorKind::NotAnArchive, ErrorCause::BadMagic, archive,
                           "this is not a regular file, so not an RDB archive");
    }
    s.length = status.size;
    std::array<std::uint8_t, kMagicSize> magic{};
    const std::int64_t got = s.file.readAt(magic.data(), magic.size(), 0, error);
    if (got < 0) {
        s.readFailed(error);
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

RdbHeader ArchiveReader::State::readHeader() {
    if (length < static_cast<std::int64_t>(kHeaderSize)) {
        damaged(ErrorCause::ArchiveTruncated, path,
                "the header is cut short: the file has " + std::to_string(length) +
                    " bytes, the header needs 36");
    }
    std::array<std::uint8_t, kHeaderSize> headerBytes{};
    std::error_code error;
    const std::int64_t got = file.readAt(headerBytes.data(), kHeaderSize, 0, error);
    if (got < 0) {
        readFailed(error);
    }
    if (got < static_cast<std::int64_t>(kHeaderSize)) {
        shrank();
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
        damaged(
            ErrorCause::BadHeader, path,
            "the directory offset and size add up to more than " + std::string(kFormatLimitText));
    }
    if (dirEnd > length) {
        damaged(ErrorCause::ArchiveTruncated, path,
                "the directory reaches past the end of the file (it ends at " +
                    std::to_string(dirEnd) + ", the file has " + std::to_string(length) +
                    " bytes)");
    }
    // Every entry takes at least 18 bytes, so an impossible count is refused
    // before anything is read.
    if (static_cast<std::int64_t>(header.EntryCount) * static_cast<std::int64_t>(kEntryFixedSize) >
        header.DirSize) {
        damaged(ErrorCause::ArchiveTruncated, path,
                "the directory of " + std::to_string(header.DirSize) + " bytes is too short for " +
                    std::to_string(header.EntryCount) + " entries");
    }

    return header;
}

RdbEntry ArchiveReader::State::readEntry(DirectoryStream& directory, std::size_t i,
                                         std::int64_t dirEnd) {
    RdbEntry entry;
    const std::string number = "entry " + std::to_string(i + 1);
    std::error_code error;
    const EntryDecodeFailure failure = directory.read(entry, error);
    if (error) {
        readFailed(error);
    }
    if (directory.shrank()) {
        shrank();
    }
    switch (failure) {
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
                entryLabel(i, entry.Name) + ": the data offset and size add up to more than " +
                    std::string(kFormatLimitText));
    }
    if (end > length) {
        damaged(ErrorCause::ArchiveTruncated, path,
                entryLabel(i, entry.Name) + ": the data reaches past the end of the file");
    }
    if (!fitsHostLimits(entry.Name)) {
        throw ArchiveError(
            ErrorKind::LimitExceeded, ErrorCause::NameNotRepresentable, path,
            entryLabel(i, entry.Name) + ": the name is too long for a file on this system");
    }
    return entry;
}

namespace {

// Names that cannot lie side by side in one tree, and data that overlaps.
void checkClashes(const fs::path& path, const std::vector<RdbEntry>& entries) {
    if (const auto overlap = firstOverlap(entries)) {
        damaged(ErrorCause::BadHeader, path,
                entryLabel(overlap->first, entries[overlap->first].Name) +
                    ": its data overlaps that of " +
                    entryLabel(overlap->second, entries[overlap->second].Name));
    }
    // "a" as a file and "a\b" would need "a" to be both; catching it here
    // keeps a doomed run from creating anything.
    if (const std::size_t clash = firstFileAlsoAFolder(entries); clash != entries.size()) {
        damaged(ErrorCause::UnsafeName, path,
                entryLabel(clash, entries[clash].Name) +
                    ": the name is used for a file and for a folder");
    }
    // On Windows also names that differ only in letter case, which it would
    // merge into one file or folder.
    NameClashFinder clashes;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (const std::string reason = clashes.add(entries[i].Name); !reason.empty()) {
            damaged(ErrorCause::UnsafeName, path, entryLabel(i, entries[i].Name) + ": " + reason);
        }
    }
}

}  // namespace

void ArchiveReader::readDirectory() {
    State& s = *state_;
    s.entries.clear();
    s.directoryRead = false;
    const RdbHeader header = s.readHeader();
    const std::int64_t dirEnd = std::int64_t{header.DirOffset} + header.DirSize;
    DirectoryStream directory(s.file, header.DirOffset, dirEnd);
    std::vector<RdbEntry> entries;
    for (std::size_t i = 0; i < static_cast<std::size_t>(header.EntryCount); ++i) {
        entries.push_back(s.readEntry(directory, i, dirEnd));
    }
    checkClashes(s.path, entries);

    s.header = header;
    s.longestEntry =
        static_cast<std::size_t>(std::max_element(entries.begin(), entries.end(),
                                                  [](const RdbEntry& a, const RdbEntry& b) {
                                                      return a.Name.size() < b.Name.size();
                                                  }) -
                                 entries.begin());
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

host::Folder ArchiveReader::State::createTarget(const fs::path& outputFolder, fs::path& target) {
    std::error_code error;
    const host::Folder output = host::Folder::open(outputFolder, error);
    if (error) {
        if (host::isNotFound(error)) {
            throw ArchiveError(ErrorKind::FileSystem, ErrorCause::OutputFolderMissing, outputFolder,
                               "the folder to unpack into does not exist");
        }
        failWith(ErrorKind::FileSystem, ErrorCause::CannotOpen, outputFolder,
                 "cannot open the folder", error);
    }

    // Made and opened relative to the output folder without following a
    // link, so that nothing swapped in between can redirect the files.
    const fs::path base = baseNameFor(path);
    host::Folder targetFolder;
    for (std::int64_t suffix = 0;; ++suffix) {
        const fs::path name = targetFolderName(base, suffix);
        if (output.statusOf(name.native(), host::Links::DoNotFollow, error).kind !=
            host::Kind::Missing) {
            continue;
        }
        target = outputFolder / name;
        // A stored name is as long as its host path on the one host whose
        // full paths are bounded; failing there would leave a half tree.
        if (!entries.empty() && !host::fitsBelow(target, entries[longestEntry].Name.size())) {
            throw ArchiveError(ErrorKind::LimitExceeded, ErrorCause::NameNotRepresentable, path,
                               entryLabel(longestEntry, entries[longestEntry].Name) +
                                   ": the path below " + displayPath(target) +
                                   " would be too long for this system");
        }
        error = output.makeFolder(name.native());
        if (host::isAlreadyThere(error)) {
            continue;  // taken since we looked: try the next name
        }
        if (error) {
            failWith(ErrorKind::FileSystem, ErrorCause::CannotCreate, target,
                     "cannot create the folder", error);
        }
        targetFolder = output.openFolder(name.native(), host::Links::DoNotFollow, error);
        if (error) {
            failWith(ErrorKind::FileSystem, ErrorCause::CannotOpen, target,
                     host::isLink(error) ? "the new folder was replaced by a link"
                                         : "cannot open the folder",
                     error);
        }
        break;
    }
    return targetFolder;
}

namespace {

// Entries grouped by folder; each group goes to one worker, which keeps the
// archive's order inside it.
std::vector<ExtractGroup> groupByFolder(const std::vector<RdbEntry>& entries) {
    std::vector<ExtractGroup> groups;
    std::unordered_map<std::u16string_view, std::size_t> groupOf;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::u16string_view name = entries[i].Name;
        const std::size_t cut = name.rfind(u'\\');
        const auto [it, added] = groupOf.try_emplace(
            cut == std::u16string_view::npos ? std::u16string_view() : name.substr(0, cut),
            groups.size());
        if (added) {
            groups.emplace_back();
        }
        ExtractGroup& group = groups[it->second];
        group.entries.push_back(i);
        group.cost += entries[i].DataSize + kCostPerFile;
    }
    return groups;
}

}  // namespace

void ArchiveReader::State::writeEntry(ExtractWorker& worker, const fs::path& target,
                                      std::size_t i) {
    std::error_code error;
    const RdbEntry& entry = entries[i];
    const fs::path relative = *hostPathFor(entry.Name);
    fs::path failedAt;
    const host::Folder& folder = worker.folders->moveTo(relative.parent_path(), error, failedAt);
    if (error) {
        failWith(ErrorKind::FileSystem, ErrorCause::CannotCreate, target / failedAt,
                 "cannot create the folder", error);
    }
    // Truncating, so that a later entry of the same name leaves only its own bytes.
    host::File out = folder.createTruncated(relative.filename().native(), error);
    if (error) {
        failWith(ErrorKind::FileSystem, ErrorCause::CannotCreate, target / relative,
                 "cannot create the file", error);
    }
    const std::int64_t offset = dataStart + entry.DataOffset;
    const std::int64_t size = entry.DataSize;
    if (size > 0) {
        if (!worker.scratch) {
            // Only touched where the kernel cannot copy between the files.
            worker.scratch.reset(new unsigned char[host::kCopyBufferSize]);
        }
        bool readingFailed = false;
        const std::int64_t copied =
            host::copyRange(file, offset, out, size, worker.scratch.get(), readingFailed, error);
        if (copied < 0) {
            if (readingFailed) {
                readFailed(error);
            }
            failWith(ErrorKind::FileSystem, ErrorCause::CannotWrite, target / relative,
                     "cannot write the file", error);
        }
        if (copied < size) {
            shrank();
        }
    }
    if (const auto closeError = out.close()) {
        failWith(ErrorKind::FileSystem, ErrorCause::CannotWrite, target / relative,
                 "cannot write the file", closeError);
    }
}

fs::path ArchiveReader::extractTo(const fs::path& outputFolder, const ProgressCallback& progress,
                                  const FolderCallback& created) {
    State& s = *state_;
    if (!s.directoryRead) {
        readDirectory();
    }
    fs::path target;
    const host::Folder targetFolder = s.createTarget(outputFolder, target);
    if (created) {
        created(target);
    }
    std::vector<ExtractGroup> groups = groupByFolder(s.entries);

    // Each worker walks the tree with its own chain of open folders.
    const unsigned workers =
        std::min<unsigned>(extractWorkerCount(std::thread::hardware_concurrency()),
                           static_cast<unsigned>(std::min<std::size_t>(groups.size(), 4)));
    std::vector<ExtractWorker> state(std::max(workers, 1U));
    for (ExtractWorker& w : state) {
        std::error_code error;
        host::Folder root = targetFolder.duplicate(error);
        if (error) {
            failWith(ErrorKind::FileSystem, ErrorCause::CannotOpen, target,
                     "cannot open the folder", error);
        }
        w.folders.emplace(std::move(root), FolderChain::Mode::Create);
    }
    const auto write = [&](unsigned worker, std::size_t i) {
        s.writeEntry(state[worker], target, i);
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
                std::min<std::int64_t>(left, static_cast<std::int64_t>(host::kCopyBufferSize));
            s.window(offset, chunk);
            offset += chunk;
            left -= chunk;
        }
    }
}

fs::path unpackArchive(const fs::path& archive, const fs::path& outputFolder,
                       const ProgressCallback& progress, const FolderCallback& created) {
    ArchiveReader reader(archive);
    reader.readDirectory();
    return reader.extractTo(outputFolder, progress, created);
}

}  // namespace tessapak::archive
