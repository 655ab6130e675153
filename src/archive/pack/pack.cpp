#include "archive/pack.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "archive/archive_error.h"
#include "archive/display_text.h"
#include "archive/format/name_clash.h"
#include "archive/format/names.h"
#include "archive/format/rdb_format.h"
#include "archive/host/folder_chain.h"
#include "archive/host/host_fs.h"
#include "archive/pack/archive_writer.h"
#include "archive/pack/read_pipeline.h"

namespace tessapak::archive {

namespace {

namespace fs = std::filesystem;
using host::NativeString;

// Writeback is started after every this many bytes, so that the one flush at
// the end has little left to wait for.
constexpr std::int64_t kWritebackStep = std::int64_t{8} << 20;

// Built by appending: GCC 12 at -O2 warns falsely (-Wrestrict) on insert().
std::string withThousands(std::int64_t value) {
    const std::string digits = std::to_string(value);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            text += ',';
        }
        text += digits[i];
    }
    return text;
}

// A listed file, named in full only when something went wrong with it.
struct SourceName {
    const fs::path& root;
    const std::u16string& name;
    fs::path path() const { return root / *hostPathFor(name); }
};

// The path a refused name would have had, for its message. A name the host
// cannot hold still gets a path, from its shown form.
fs::path pathForMessage(const fs::path& root, const std::u16string& name) {
    if (const auto relative = hostPathFor(name)) {
        return root / *relative;
    }
    return root / pathFromUtf8(displayName(name));
}

// Messages about listed files name them below the packed folder.
EntryPlace placesBelow(const fs::path& root, const PackList& list) {
    return [&root, &list](std::size_t i) { return pathForMessage(root, list.FileNames[i]); };
}

[[noreturn]] void openFailed(const SourceName& source, const std::error_code& error) {
    if (host::isNotFound(error)) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::FileChanged, source.path(),
                           "the file vanished after the folder was listed");
    }
    failWith(ErrorKind::FileSystem, ErrorCause::CannotOpen, source.path(), "cannot open the file",
             error);
}

// Refused on every host, so that an archive made anywhere can be copied to
// Windows: there the name opens the device, and a file of that name made
// through a long path prefix cannot be opened again.
void refuseDeviceName(const fs::path& output) {
    if (isWindowsDeviceName(output)) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::CannotCreate, output,
                           "the name is a Windows device name (such as NUL, CON or COM1), "
                           "which cannot name a file");
    }
}

// This run's own temporary file beside output.
host::TemporaryFile temporaryBeside(const fs::path& output) {
    const auto [prefix, suffix] = temporaryNamePattern(output);
    const fs::path folder = output.parent_path();
    // Only files no live run holds: never another run's work.
    host::removeAbandonedTemporaries(folder, prefix, suffix);
    std::error_code error;
    host::TemporaryFile temporary = host::TemporaryFile::create(folder, prefix, suffix, error);
    if (error) {
        failWith(ErrorKind::FileSystem, ErrorCause::CannotCreate, output,
                 "cannot create a temporary file beside it", error);
    }
    return temporary;
}

// A listed file as the reader thread reads it.
class SourceFile : public PipelineFile {
  public:
    SourceFile(host::File file, const fs::path& root, const std::u16string& name)
        : file_(std::move(file)), name_{root, name} {}

    std::size_t read(unsigned char* buffer, std::size_t size) override {
        std::error_code error;
        const std::int64_t got = file_.readOnce(buffer, size, error);
        if (got < 0) {
            failWith(ErrorKind::FileSystem, ErrorCause::CannotRead, name_.path(),
                     "cannot read the file", error);
        }
        return static_cast<std::size_t>(got);
    }

    // A hint only: a file that cannot be read ahead is still read in turn.
    void startReadahead(std::int64_t length) const { file_.startReadahead(0, length); }

  private:
    host::File file_;
    SourceName name_;
};

// The archive under construction: this run's own temporary file, which
// disappears unless commit() puts it in place of the output.
class ArchiveFile {
  public:
    explicit ArchiveFile(const fs::path& output)
        : output_(output), temporary_(temporaryBeside(output)) {
        buffer_ = std::make_unique<unsigned char[]>(host::kCopyBufferSize);
    }

    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    void append(const void* data, std::size_t size) {
        const auto* in = static_cast<const unsigned char*>(data);
        while (size > 0) {
            if (used_ == host::kCopyBufferSize) {
                flush();
            }
            const std::size_t n = std::min(size, host::kCopyBufferSize - used_);
            std::copy(in, in + n, buffer_.get() + used_);
            used_ += n;
            in += n;
            size -= n;
        }
    }

    // Writes a run of file data as the reader delivered it.
    void write(const unsigned char* data, std::size_t size) {
        if (size < host::kCopyBufferSize - used_) {
            append(data, size);
            return;
        }
        flush();
        if (const auto error = temporary_.file().writeAll(data, size)) {
            failWith(ErrorKind::FileSystem, ErrorCause::CannotWrite, output_,
                     "cannot write the archive", error);
        }
        advance(static_cast<std::int64_t>(size));
    }

    // Copies bytes of another file in the kernel where the host can, a
    // writeback step at a time, so that the disk writes while the kernel
    // copies the next step rather than all of it at the final flush.
    void copyFrom(const host::File& in, std::int64_t offset, std::int64_t size,
                  const fs::path& inPath) {
        flush();
        for (std::int64_t done = 0; done < size;) {
            const std::int64_t step = copyStep(written_, size - done);
            bool readFailed = false;
            std::error_code error;
            // The buffer is empty after the flush and serves as scratch.
            const std::int64_t copied = host::copyRange(in, offset + done, temporary_.file(), step,
                                                        buffer_.get(), readFailed, error);
            if (copied < 0 && readFailed) {
                failWith(ErrorKind::FileSystem, ErrorCause::CannotRead, inPath,
                         "cannot read the archive", error);
            }
            if (copied < 0) {
                failWith(ErrorKind::FileSystem, ErrorCause::CannotWrite, output_,
                         "cannot copy into the archive from " + displayPath(inPath), error);
            }
            if (copied < step) {
                throw ArchiveError(ErrorKind::DamagedArchive, ErrorCause::ArchiveTruncated, inPath,
                                   "the archive became shorter while it was read");
            }
            advance(copied);
            done += copied;
        }
    }

    void commit() {
        flush();
        if (const auto error = temporary_.file().flushToDisk()) {
            failWith(ErrorKind::FileSystem, ErrorCause::CannotWrite, output_,
                     "cannot flush the archive to disk", error);
        }
        if (const auto error = temporary_.replace(output_.filename().native())) {
            failWith(ErrorKind::FileSystem, ErrorCause::CannotCreate, output_,
                     "cannot put the archive in place", error);
        }
    }

  private:
    // The next step of a copy that writes at, of at most left bytes. Steps
    // start and end on block boundaries where they can: a file system that
    // shares blocks between files (XFS, Btrfs) then shares them instead of
    // copying, whenever the bytes lie at the same place within a block in
    // both archives, as they do before the first entry that changed size.
    static std::int64_t copyStep(std::int64_t at, std::int64_t left) {
        constexpr std::int64_t kBlock = 4096;
        if (at % kBlock != 0) {
            return std::min(left, kBlock - at % kBlock);
        }
        std::int64_t end = std::min(at + left, (at / kWritebackStep + 1) * kWritebackStep);
        if (end - at > kBlock && end % kBlock != 0) {
            end -= end % kBlock;
        }
        return end - at;
    }

    void flush() {
        if (used_ == 0) {
            return;
        }
        if (const auto error = temporary_.file().writeAll(buffer_.get(), used_)) {
            failWith(ErrorKind::FileSystem, ErrorCause::CannotWrite, output_,
                     "cannot write the archive", error);
        }
        const auto n = static_cast<std::int64_t>(used_);
        used_ = 0;
        advance(n);
    }

    void advance(std::int64_t written) {
        written_ += written;
        if (written_ - writebackFrom_ >= kWritebackStep) {
            temporary_.file().startWriteback(writebackFrom_, written_ - writebackFrom_);
            writebackFrom_ = written_;
        }
    }

    fs::path output_;
    host::TemporaryFile temporary_;
    std::unique_ptr<unsigned char[]> buffer_;
    std::size_t used_ = 0;
    std::int64_t written_ = 0;
    std::int64_t writebackFrom_ = 0;
};

}  // namespace

namespace {

// Checks everything before the first byte is written, so that a run that
// cannot succeed leaves no file behind. Names can be judged as the list
// grows, on the thread that grows it.
class ListCheck {
  public:
    ListCheck(const PackList& list, const fs::path& output, const EntryPlace& placeOf)
        : list_(list), output_(output), placeOf_(placeOf) {}

    // Judges the files listed before end that were not judged yet.
    void through(std::size_t end) {
        for (; checked_ < end; ++checked_) {
            const std::size_t i = checked_;
            std::string unsafe = unsafeNameReason(list_.FileNames[i], NameRules::Windows);
            if (unsafe.empty()) {
                unsafe = clashes_.add(list_.FileNames[i]);
            }
            if (!unsafe.empty()) {
                throw ArchiveError(ErrorKind::LimitExceeded, ErrorCause::NameNotRepresentable,
                                   placeOf_(i),
                                   "the file name cannot be stored in an RDB archive: " + unsafe);
            }
            const std::int64_t size = list_.FileSizes[i];
            if (size < 0 || size > kFormatLimit) {
                throw ArchiveError(ErrorKind::LimitExceeded, ErrorCause::ArchiveTooLarge,
                                   placeOf_(i),
                                   "the file is larger than an RDB archive can hold; " +
                                       std::string(kFormatLimitNote));
            }
            dirSize_ += entrySize(list_.FileNames[i]);
            dataSize_ += size;
        }
    }

    // Judges the rest and the whole list; returns the directory's size.
    std::int64_t finish() {
        const std::size_t count = list_.FileNames.size();
        if (list_.FileSizes.size() != count) {
            throw ArchiveError(ErrorKind::LimitExceeded, ErrorCause::TooManyEntries, output_,
                               "the list of files to pack is inconsistent");
        }
        if (count > static_cast<std::size_t>(kFormatLimit)) {
            throw ArchiveError(ErrorKind::LimitExceeded, ErrorCause::TooManyEntries, output_,
                               "too many files for an RDB archive");
        }
        through(count);
        const std::int64_t total = static_cast<std::int64_t>(kHeaderSize) + dirSize_ + dataSize_;
        if (total > kFormatLimit) {
            throw ArchiveError(ErrorKind::LimitExceeded, ErrorCause::ArchiveTooLarge, output_,
                               "the archive would be " + withThousands(total) + " bytes long; " +
                                   std::string(kFormatLimitNote));
        }
        return dirSize_;
    }

  private:
    const PackList& list_;
    const fs::path& output_;
    const EntryPlace& placeOf_;
    // Names are judged by Windows' rules on every host, so that whatever
    // Tessapak writes unpacks on Windows as it was packed.
    NameClashFinder clashes_{NameRules::Windows};
    std::size_t checked_ = 0;
    std::int64_t dirSize_ = 0;
    std::int64_t dataSize_ = 0;
};

std::int64_t checkList(const PackList& list, const fs::path& output, const EntryPlace& placeOf) {
    return ListCheck(list, output, placeOf).finish();
}

void checkOutputPlace(const fs::path& output) {
    std::error_code error;
    if (host::statusOf(output.parent_path(), host::Links::Follow, error).kind !=
        host::Kind::Folder) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::OutputFolderMissing, output,
                           "the folder to write the archive into does not exist");
    }
    if (host::statusOf(output, host::Links::Follow, error).kind == host::Kind::Folder) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::CannotCreate, output,
                           "a folder of that name is in the way");
    }
}

void writeHeaderAndDirectory(ArchiveFile& archive, const PackList& list, std::int64_t dirSize) {
    const auto header = encodeHeader(makeHeader(static_cast<std::int32_t>(list.FileNames.size()),
                                                static_cast<std::int32_t>(dirSize)));
    archive.append(header.data(), header.size());
    std::string entryBytes;
    RdbEntry entry;
    std::int64_t offset = 0;
    for (std::size_t i = 0; i < list.FileNames.size(); ++i) {
        entry.Name = list.FileNames[i];
        entry.DataOffset = static_cast<std::int32_t>(offset);
        entry.DataSize = static_cast<std::int32_t>(list.FileSizes[i]);
        entryBytes.clear();
        appendEntry(entryBytes, entry);
        archive.append(entryBytes.data(), entryBytes.size());
        offset += list.FileSizes[i];
    }
}

[[noreturn]] void fileChanged(const SourceName& name, std::int64_t listedSize, bool grew) {
    throw ArchiveError(ErrorKind::FileSystem, ErrorCause::FileChanged, name.path(),
                       std::string("the file ") + (grew ? "grew" : "became shorter") +
                           " after the folder was listed (" + withThousands(listedSize) +
                           " bytes listed)");
}

// Opens the listed files for one thread. Files of one folder are consecutive
// in the list, so each is opened relative to its folder, which is opened
// once, one component at a time, so that no depth meets the host's path
// length limit. Each thread has its own opener, so the folder last moved to
// is its own; the root too is opened there, when the first file is, so that
// a walk that refuses the root speaks first.
class ListedFileOpener {
  public:
    explicit ListedFileOpener(const fs::path& root) : root_(root) {}

    // The file may be read until the next call.
    std::unique_ptr<PipelineFile> open(std::u16string stored, std::int64_t listedSize) {
        name_ = std::move(stored);
        listedSize_ = listedSize;
        return openNamed(name_);
    }

    // The name must outlive the file.
    std::unique_ptr<SourceFile> openNamed(const std::u16string& stored) {
        const SourceName name{root_, stored};
        if (!folders_) {
            folders_.emplace(openRoot(root_), FolderChain::Mode::Open);
        }
        const std::size_t cut = stored.rfind(kStoredSeparator);
        const std::size_t folderLength = cut == std::u16string::npos ? 0 : cut;
        const std::u16string_view folderName(stored.data(), folderLength);
        std::error_code openError;
        // Names were judged before; the folder is worked out only when it changes.
        if (!currentFolder_ || folderName != currentFolderName_) {
            currentFolder_ = nullptr;
            currentFolderName_ = folderName;
            const fs::path relative =
                folderLength == 0 ? fs::path() : *hostPathFor(currentFolderName_);
            fs::path failedAt;
            const host::Folder& folder = folders_->moveTo(relative, openError, failedAt);
            if (openError) {
                openFailed(name, openError);
            }
            currentFolder_ = &folder;
        }
        // Judged already, so converted without a path or a second judgement;
        // a half-converted name must never be opened in its place.
        if (!hostFormOfJudged(
                std::u16string_view(stored).substr(cut == std::u16string::npos ? 0 : cut + 1),
                fileName_)) {
            openFailed(name, std::make_error_code(std::errc::illegal_byte_sequence));
        }
        // Non-blocking, so that a FIFO put in place of a listed file cannot hang the run.
        host::File file = currentFolder_->openForReading(fileName_, openError);
        if (openError) {
            openFailed(name, openError);
        }
        return std::make_unique<SourceFile>(std::move(file), root_, stored);
    }

    // The file opened last by open() does not hold its listed size.
    [[noreturn]] void changed(bool grew) const {
        fileChanged(SourceName{root_, name_}, listedSize_, grew);
    }

  private:
    static host::Folder openRoot(const fs::path& root) {
        std::error_code error;
        host::Folder folder = host::Folder::open(root, error);
        if (error) {
            failWith(ErrorKind::FileSystem, ErrorCause::CannotOpen, root, "cannot open the folder",
                     error);
        }
        return folder;
    }

    const fs::path& root_;
    std::optional<FolderChain> folders_;
    std::u16string currentFolderName_;
    const host::Folder* currentFolder_ = nullptr;
    std::u16string name_;
    std::int64_t listedSize_ = 0;
    NativeString fileName_;  // kept, so that its room is reused
};

// Runs of entries copied out of an earlier archive go through the kernel;
// the rest come from the reader thread, which reads ahead meanwhile.
class EntryStream {
  public:
    EntryStream(ArchiveFile& archive, const PackList& list, const EntrySources& sources,
                const ProgressCallback& progress)
        : archive_(archive),
          list_(list),
          sources_(sources),
          progress_(progress),
          count_(list.FileNames.size()),
          pipeline_(readSizes(), readSource()) {}

    void run() {
        for (std::size_t i = 0; i < count_;) {
            std::size_t end = i + 1;
            std::int64_t bytes = list_.FileSizes[i];
            if (copied(i)) {
                // Neighbours that lay side by side stay one copy.
                const std::int64_t from = sources_.copiedAt[i];
                while (end < count_ && copied(end) && sources_.copiedAt[end] == from + bytes) {
                    bytes += list_.FileSizes[end++];
                }
                reportThrough(end);
                archive_.copyFrom(sources_.from, from, bytes, sources_.fromPath);
            } else {
                while (end < count_ && !copied(end)) {
                    bytes += list_.FileSizes[end++];
                }
                reportThrough(i + 1);
                takeFromReader(bytes, end);
            }
            i = end;
        }
        // Empty files at the end were still opened; a failure there counts too.
        while (pipeline_.next(chunk_)) {
            if (chunk_.size > 0) {
                throw std::logic_error("the reader delivered more than the listed bytes");
            }
        }
        reportThrough(count_);
    }

  private:
    bool copied(std::size_t i) const {
        return !sources_.copiedAt.empty() && sources_.copiedAt[i] >= 0;
    }

    // The sizes of the files the reader reads, noting the place in the list
    // of each when it does not read them all.
    std::vector<std::int64_t> readSizes() {
        if (sources_.copiedAt.empty()) {
            return list_.FileSizes;
        }
        std::vector<std::int64_t> sizes;
        for (std::size_t i = 0; i < count_; ++i) {
            if (!copied(i)) {
                readOrder_.push_back(i);
                sizes.push_back(list_.FileSizes[i]);
            }
        }
        return sizes;
    }

    std::size_t placeOf(std::size_t k) const { return readOrder_.empty() ? k : readOrder_[k]; }

    PipelineSource readSource() {
        PipelineSource source;
        source.open = [this](std::size_t k) { return sources_.files.open(placeOf(k)); };
        source.changed = [this](std::size_t k, bool grew) {
            sources_.files.changed(placeOf(k), grew);
        };
        return source;
    }

    void reportThrough(std::size_t end) {
        for (; reported_ < end; ++reported_) {
            if (progress_) {
                progress_(static_cast<std::int64_t>(reported_) + 1,
                          static_cast<std::int64_t>(count_));
            }
        }
    }

    // The next bytes of the run of read files that ends before runEnd.
    void takeFromReader(std::int64_t bytes, std::size_t runEnd) {
        while (bytes > 0) {
            if (chunkUsed_ == chunk_.size) {
                if (!pipeline_.next(chunk_)) {
                    throw std::logic_error("the reader ended before the listed bytes");
                }
                chunkUsed_ = 0;
                if (chunk_.endFile > chunk_.firstFile) {
                    reportThrough(std::min(runEnd, placeOf(chunk_.endFile - 1) + 1));
                }
            }
            const auto n = static_cast<std::size_t>(
                std::min<std::int64_t>(bytes, static_cast<std::int64_t>(chunk_.size - chunkUsed_)));
            archive_.write(chunk_.data + chunkUsed_, n);
            chunkUsed_ += n;
            bytes -= static_cast<std::int64_t>(n);
        }
    }

    ArchiveFile& archive_;
    const PackList& list_;
    const EntrySources& sources_;
    const ProgressCallback& progress_;
    const std::size_t count_;
    std::vector<std::size_t> readOrder_;  // declared before the pipeline, which reads it
    ReadPipeline pipeline_;
    PipelineChunk chunk_;
    std::size_t chunkUsed_ = 0;
    std::size_t reported_ = 0;
};

// While the walk runs, the reader reads ahead into this many buffers, which
// hold most of the data of 100,000 small files; the rest waits for the
// directory to be written.
constexpr std::size_t kWalkAheadBuffers = 8;

// Opening ahead holds a descriptor per file ahead and a chain of folders; it
// is left out where descriptors are scarce, so that it never takes one that
// the reader needs.
constexpr std::size_t kDescriptorsToOpenAhead = 8 * ReadPipeline::kOpenAhead;

// How much of a file opened ahead is asked of the disk at once: all of a
// small file.
constexpr std::int64_t kReadaheadBytes = 256 * 1024;

// The files handed to the reader thread while the walk runs: only as many as
// it can read ahead, each name copied since the walk still appends to the
// list. Those after them are handed when the list is complete, and the
// reader takes their names from the list itself.
class WalkAhead {
  public:
    explicit WalkAhead(const PackList& list) : list_(list) {}

    // On the walking thread, whenever files were appended: hands on those
    // not yet handed, as far as the reader can take them.
    void listed(ReadPipeline& pipeline) {
        const std::size_t end = list_.FileNames.size();
        std::size_t i = handed_;
        {
            std::lock_guard lock(mutex_);
            for (; i < end && bytes_ < kAhead && names_.size() < kWaitingNames; ++i) {
                names_.push_back({i, list_.FileNames[i], list_.FileSizes[i]});
                bytes_ += list_.FileSizes[i];
            }
        }
        pipeline.add(list_.FileSizes.data() + handed_, list_.FileSizes.data() + i);
        handed_ = i;
    }

    // On the walking thread, once the list is complete.
    void walked(ReadPipeline& pipeline) {
        pipeline.add(list_.FileSizes.data() + handed_,
                     list_.FileSizes.data() + list_.FileSizes.size());
        pipeline.endOfList();
    }

    // On the reader thread, in list order; files opened ahead for it are
    // passed over.
    std::pair<std::u16string, std::int64_t> take(std::size_t index) {
        {
            std::lock_guard lock(mutex_);
            while (!names_.empty() && names_.front().index < index) {
                names_.pop_front();
            }
            if (!names_.empty() && names_.front().index == index) {
                Handed next = std::move(names_.front());
                names_.pop_front();
                return {std::move(next.name), next.size};
            }
        }
        // Past the copied names the reader was given the file by walked(),
        // after the list was complete.
        return {list_.FileNames[index], list_.FileSizes[index]};
    }

  private:
    static constexpr std::int64_t kAhead =
        static_cast<std::int64_t>(kWalkAheadBuffers * ReadPipeline::kBufferSize);
    // A reader far behind the walk would otherwise hold a copy of every name.
    static constexpr std::size_t kWaitingNames = 4096;

    struct Handed {
        std::size_t index;
        std::u16string name;
        std::int64_t size;
    };

    const PackList& list_;
    std::mutex mutex_;
    std::deque<Handed> names_;
    std::int64_t bytes_ = 0;  // of the files handed so far
    std::size_t handed_ = 0;  // walking thread only
};

// The reader's files for a pack that walks: their names handed on by the
// walk, and once it is done, files opened ahead on the packing thread.
class WalkedFiles {
  public:
    WalkedFiles(const fs::path& root, const PackList& list)
        : ahead(list), root_(root), list_(list), opener_(root) {
        if (host::spareDescriptors() >= kDescriptorsToOpenAhead) {
            aheadOpener_.emplace(root);
        }
    }

    PipelineSource source() {
        PipelineSource source;
        source.open = [this](std::size_t i) {
            auto [name, size] = ahead.take(i);
            openedByReader_ = i;
            return opener_.open(std::move(name), size);
        };
        source.changed = [this](std::size_t i, bool grew) {
            if (i == openedByReader_) {
                opener_.changed(grew);
            }
            // Opened ahead, so listed after the walk ended.
            fileChanged(SourceName{root_, list_.FileNames[i]}, list_.FileSizes[i], grew);
        };
        if (aheadOpener_) {
            source.openAhead = [this](std::size_t i) { return openAhead(i); };
        }
        return source;
    }

    WalkAhead ahead;

  private:
    std::unique_ptr<PipelineFile> openAhead(std::size_t i) {
        if (!aheadOpener_) {
            return nullptr;
        }
        try {
            std::unique_ptr<SourceFile> file = aheadOpener_->openNamed(list_.FileNames[i]);
            // Files whose data is not cached then come from the disk several
            // at a time instead of one after another; a large file's own
            // readahead takes over after its start. Not for a file listed
            // empty: a length of 0 asks for all of it, however it has grown.
            if (list_.FileSizes[i] > 0) {
                file->startReadahead(std::min(list_.FileSizes[i], kReadaheadBytes));
            }
            return file;
        } catch (const std::exception&) {
            aheadOpener_.reset();  // its folders' descriptors too
            return nullptr;        // the reader tries again, and tells why
        }
    }

    const fs::path& root_;
    const PackList& list_;
    ListedFileOpener opener_;                      // the reader's
    std::optional<ListedFileOpener> aheadOpener_;  // the packing thread's
    std::size_t openedByReader_ = 0;
};

// Writes the files' data as the reader thread delivers it.
void streamFiles(ArchiveFile& archive, ReadPipeline& pipeline, std::int64_t count,
                 const ProgressCallback& progress) {
    PipelineChunk chunk;
    while (pipeline.next(chunk)) {
        for (std::size_t i = chunk.firstFile; progress && i < chunk.endFile; ++i) {
            progress(static_cast<std::int64_t>(i) + 1, count);
        }
        archive.write(chunk.data, chunk.size);
    }
}

// The directory and the data, once the list is complete and checked.
void writeListed(ArchiveFile& archive, const PackList& list, std::int64_t dirSize,
                 ReadPipeline& pipeline, const ProgressCallback& progress) {
    writeHeaderAndDirectory(archive, list, dirSize);
    streamFiles(archive, pipeline, static_cast<std::int64_t>(list.FileNames.size()), progress);
    archive.commit();
}

}  // namespace

void writeEntries(const PackList& list, const fs::path& output, EntrySources sources,
                  const EntryPlace& placeOf, const ProgressCallback& progress) {
    const std::int64_t dirSize = checkList(list, output, placeOf);
    checkOutputPlace(output);
    ArchiveFile archive(output);
    writeHeaderAndDirectory(archive, list, dirSize);
    EntryStream(archive, list, sources, progress).run();
    sources.from.reset();
    archive.commit();
}

void writeArchive(const fs::path& root, const PackList& list, const fs::path& output,
                  const ProgressCallback& progress) {
    refuseDeviceName(output);
    ListedFileOpener opener(root);
    EntrySources sources;
    sources.files.open = [&](std::size_t i) {
        return opener.open(list.FileNames[i], list.FileSizes[i]);
    };
    sources.files.changed = [&](std::size_t, bool grew) { opener.changed(grew); };
    writeEntries(list, output, std::move(sources), placesBelow(root, list), progress);
}

void packFolder(const fs::path& root, PackList& list, const fs::path& output,
                const ProgressCallback& progress) {
    // The output is settled before a walk that may take long, so that a
    // wrong one is told at once; the walk leaves its temporary file out.
    // A mistyped folder is told first, as it was when the walk came first.
    requireFolderToWalk(root);
    refuseDeviceName(output);
    checkOutputPlace(output);
    ArchiveFile archive(output);
    // The reader opens and reads the files the walk has listed while the
    // walk goes on: the two are each about half the work on many small files.
    WalkedFiles files(root, list);
    ReadPipeline pipeline(files.source(), kWalkAheadBuffers);
    // Judged as the walk goes, which is the lighter of the two threads.
    const EntryPlace placeOf = placesBelow(root, list);
    ListCheck check(list, output, placeOf);
    ListFiles(root, list, excludedPathsFor(output), [&](const PackList&, std::size_t) {
        check.through(list.FileNames.size());
        files.ahead.listed(pipeline);
    });
    files.ahead.walked(pipeline);
    writeListed(archive, list, check.finish(), pipeline, progress);
}

void removeTemporaryFilesOnInterrupt() {
    host::installInterruptCleanup();
}

void setInterruptNote(std::string_view text) {
    host::setInterruptNote(text);
}

std::int64_t packFolder(const fs::path& root, const fs::path& output,
                        const ProgressCallback& progress) {
    PackList list;
    packFolder(root, list, output, progress);
    return list.FileCount;
}

}  // namespace tessapak::archive
