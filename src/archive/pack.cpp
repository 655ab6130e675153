#include "archive/pack.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <string_view>

#include "archive/archive_error.h"
#include "archive/file_io.h"
#include "archive/names.h"
#include "archive/rdb_format.h"
#include "archive/read_pipeline.h"

namespace tessapak::archive {

namespace {

namespace fs = std::filesystem;

// Writeback is started after every this many bytes, so that the one flush at
// the end has little left to wait for.
constexpr std::int64_t kWritebackStep = std::int64_t{8} << 20;

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string withThousands(std::int64_t value) {
    std::string digits = std::to_string(value);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) {
        digits.insert(static_cast<std::size_t>(i), ",");
    }
    return digits;
}

// A listed file, named in full only when something went wrong with it.
struct SourceName {
    const fs::path& root;
    const std::u16string& name;
    fs::path path() const { return root / *hostPathFor(name); }
};

[[noreturn]] void openFailed(const SourceName& source, int err) {
    if (err == ENOENT || err == ENOTDIR) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::FileChanged, source.path(),
                           "the file vanished after the folder was listed");
    }
    io::fail(ErrorKind::FileSystem, ErrorCause::CannotOpen, source.path(), "cannot open the file",
             err);
}

// The archive under construction: a temporary file that disappears unless
// commit() puts it in place of the output.
class ArchiveFile {
  public:
    ArchiveFile(const fs::path& output) : output_(output), temporary_(temporaryPathFor(output)) {
        ::unlink(temporary_.c_str());  // a stale file from a run that crashed
        fd_ = io::Fd(::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd_) {
            io::fail(ErrorKind::FileSystem, ErrorCause::CannotCreate, output_,
                     "cannot create the temporary file " + temporary_.filename().string(), errno);
        }
        // A replaced archive keeps its permissions.
        struct stat st;
        if (::stat(output_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            ::fchmod(fd_.get(), st.st_mode & 07777);
        }
        buffer_ = std::make_unique<unsigned char[]>(io::kCopyBufferSize);
    }

    ~ArchiveFile() {
        if (!committed_) {
            fd_.reset();
            ::unlink(temporary_.c_str());
        }
    }

    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    void append(const void* data, std::size_t size) {
        const auto* in = static_cast<const unsigned char*>(data);
        while (size > 0) {
            if (used_ == io::kCopyBufferSize) {
                flush();
            }
            const std::size_t n = std::min(size, io::kCopyBufferSize - used_);
            std::copy(in, in + n, buffer_.get() + used_);
            used_ += n;
            in += n;
            size -= n;
        }
    }

    // Writes a run of file data as it came from the reader.
    void write(const unsigned char* data, std::size_t size) {
        if (size < io::kCopyBufferSize - used_) {
            append(data, size);
            return;
        }
        flush();
        if (const int err = io::writeAll(fd_.get(), data, size); err != 0) {
            io::fail(ErrorKind::FileSystem, ErrorCause::CannotWrite, output_,
                     "cannot write the archive", err);
        }
        advance(static_cast<std::int64_t>(size));
    }

    void commit() {
        flush();
        if (::fdatasync(fd_.get()) != 0) {
            io::fail(ErrorKind::FileSystem, ErrorCause::CannotWrite, output_,
                     "cannot flush the archive to disk", errno);
        }
        if (const int err = fd_.close(); err != 0) {
            io::fail(ErrorKind::FileSystem, ErrorCause::CannotWrite, output_,
                     "cannot finish writing the archive", err);
        }
        if (::rename(temporary_.c_str(), output_.c_str()) != 0) {
            io::fail(ErrorKind::FileSystem, ErrorCause::CannotCreate, output_,
                     "cannot put the archive in place", errno);
        }
        committed_ = true;
    }

  private:
    void flush() {
        if (used_ == 0) {
            return;
        }
        if (const int err = io::writeAll(fd_.get(), buffer_.get(), used_); err != 0) {
            io::fail(ErrorKind::FileSystem, ErrorCause::CannotWrite, output_,
                     "cannot write the archive", err);
        }
        const auto n = static_cast<std::int64_t>(used_);
        used_ = 0;
        advance(n);
    }

    void advance(std::int64_t written) {
        written_ += written;
        if (written_ - writebackFrom_ >= kWritebackStep) {
            io::startWriteback(fd_.get(), writebackFrom_, written_ - writebackFrom_);
            writebackFrom_ = written_;
        }
    }

    fs::path output_;
    fs::path temporary_;
    io::Fd fd_;
    std::unique_ptr<unsigned char[]> buffer_;
    std::size_t used_ = 0;
    std::int64_t written_ = 0;
    std::int64_t writebackFrom_ = 0;
    bool committed_ = false;
};

}  // namespace

fs::path archivePathFor(const fs::path& output) {
    std::string text = output.native();
    const std::string_view suffix = ".rdb";
    bool hasSuffix = text.size() >= suffix.size();
    for (std::size_t i = 0; hasSuffix && i < suffix.size(); ++i) {
        hasSuffix = asciiLower(text[text.size() - suffix.size() + i]) == suffix[i];
    }
    if (!hasSuffix) {
        text += suffix;
    }
    return fs::path(std::move(text));
}

fs::path temporaryPathFor(const fs::path& output) {
    // File names are limited to 255 bytes; a long output name is shortened,
    // with a hash of the whole name so that it stays unique.
    constexpr std::size_t kNameLimit = 255;
    constexpr std::string_view kSuffix = ".tessapak-part";
    const std::string base = output.filename().native();
    std::string name = ".";
    if (1 + base.size() + kSuffix.size() <= kNameLimit) {
        name += base;
    } else {
        name += base.substr(0, 200);
        name += '-';
        name += std::to_string(std::hash<std::string>{}(base));
    }
    name += kSuffix;
    fs::path temporary = output;
    temporary.replace_filename(name);
    return temporary;
}

std::vector<fs::path> excludedPathsFor(const fs::path& output) {
    return {output, temporaryPathFor(output)};
}

void writeArchive(const fs::path& root, const PackList& list, const fs::path& output,
                  const ProgressCallback& progress) {
    const std::size_t count = list.FileNames.size();
    if (list.FileSizes.size() != count) {
        throw ArchiveError(ErrorKind::LimitExceeded, ErrorCause::TooManyEntries, output,
                           "the list of files to pack is inconsistent");
    }
    if (count > static_cast<std::size_t>(kFormatLimit)) {
        throw ArchiveError(ErrorKind::LimitExceeded, ErrorCause::TooManyEntries, output,
                           "too many files for an RDB archive");
    }

    // Everything is checked before the first byte is written, so a run that
    // cannot succeed leaves no file behind.
    std::int64_t dirSize = 0;
    std::int64_t dataSize = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string unsafe = unsafeNameReason(list.FileNames[i]);
        if (!unsafe.empty()) {
            throw ArchiveError(ErrorKind::LimitExceeded, ErrorCause::NameNotRepresentable,
                               root / displayName(list.FileNames[i]),
                               "the file name cannot be stored in an RDB archive: " + unsafe);
        }
        const std::int64_t size = list.FileSizes[i];
        if (size < 0 || size > kFormatLimit) {
            throw ArchiveError(ErrorKind::LimitExceeded, ErrorCause::ArchiveTooLarge,
                               root / displayName(list.FileNames[i]),
                               "the file is larger than an RDB archive can hold; the RDB format "
                               "is limited to 2 GiB (2,147,483,647 bytes)");
        }
        dirSize += entrySize(list.FileNames[i]);
        dataSize += size;
    }
    const std::int64_t total = static_cast<std::int64_t>(kHeaderSize) + dirSize + dataSize;
    if (total > kFormatLimit) {
        throw ArchiveError(ErrorKind::LimitExceeded, ErrorCause::ArchiveTooLarge, output,
                           "the archive would be " + withThousands(total) +
                               " bytes long; the RDB format is limited to 2 GiB "
                               "(2,147,483,647 bytes)");
    }

    fs::path folder = output.parent_path();
    struct stat st;
    if (::stat(folder.empty() ? "." : folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::OutputFolderMissing, output,
                           "the folder to write the archive into does not exist");
    }
    if (::stat(output.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::CannotCreate, output,
                           "a folder of that name is in the way");
    }

    ArchiveFile archive(output);
    const auto header = encodeHeader(
        makeHeader(static_cast<std::int32_t>(count), static_cast<std::int32_t>(dirSize)));
    archive.append(header.data(), header.size());

    std::string entryBytes;
    RdbEntry entry;
    std::int64_t offset = 0;
    for (std::size_t i = 0; i < count; ++i) {
        entry.Name = list.FileNames[i];
        entry.DataOffset = static_cast<std::int32_t>(offset);
        entry.DataSize = static_cast<std::int32_t>(list.FileSizes[i]);
        entryBytes.clear();
        appendEntry(entryBytes, entry);
        archive.append(entryBytes.data(), entryBytes.size());
        offset += list.FileSizes[i];
    }

    // The reader thread opens and reads the files while this thread writes;
    // files of one folder are consecutive in the list, so each is opened
    // relative to its folder, which is opened once.
    struct Opened : PipelineFile {
        explicit Opened(io::Fd fd, const SourceName& source)
            : fd_(std::move(fd)), source_(source) {}
        std::size_t read(unsigned char* buffer, std::size_t size) override {
            while (true) {
                const ssize_t got = ::read(fd_.get(), buffer, size);
                if (got >= 0) {
                    return static_cast<std::size_t>(got);
                }
                if (errno != EINTR) {
                    io::fail(ErrorKind::FileSystem, ErrorCause::CannotRead, source_.path(),
                             "cannot read the file", errno);
                }
            }
        }
        io::Fd fd_;
        SourceName source_;
    };
    std::u16string currentFolder;
    io::Fd folderFd;
    PipelineSource source;
    source.open = [&](std::size_t i) -> std::unique_ptr<PipelineFile> {
        const std::u16string& name = list.FileNames[i];
        const SourceName sourceName{root, name};
        const std::size_t cut = name.rfind(u'\\');
        const std::u16string_view folder = cut == std::u16string::npos
                                               ? std::u16string_view()
                                               : std::u16string_view(name).substr(0, cut);
        if (!folderFd || folder != currentFolder) {
            currentFolder.assign(folder);
            const fs::path folderPath = folder.empty() ? root : root / *hostPathFor(currentFolder);
            folderFd = io::Fd(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!folderFd) {
                openFailed(sourceName, errno);
            }
        }
        const std::string leaf =
            *utf16ToUtf8(cut == std::u16string::npos ? std::u16string_view(name)
                                                     : std::u16string_view(name).substr(cut + 1));
        // Non-blocking, so that a FIFO put in place of a listed file cannot hang the run.
        io::Fd fd(::openat(folderFd.get(), leaf.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (!fd) {
            openFailed(sourceName, errno);
        }
        return std::make_unique<Opened>(std::move(fd), sourceName);
    };
    source.changed = [&](std::size_t i, bool grew) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::FileChanged,
                           SourceName{root, list.FileNames[i]}.path(),
                           std::string("the file ") + (grew ? "grew" : "became shorter") +
                               " after the folder was listed (" + withThousands(list.FileSizes[i]) +
                               " bytes listed)");
    };

    const auto total64 = static_cast<std::int64_t>(count);
    ReadPipeline pipeline(list.FileSizes, std::move(source));
    PipelineChunk chunk;
    while (pipeline.next(chunk)) {
        for (std::size_t i = chunk.firstFile; progress && i < chunk.endFile; ++i) {
            progress(static_cast<std::int64_t>(i) + 1, total64);
        }
        archive.write(chunk.data, chunk.size);
    }
    archive.commit();
}

std::int64_t packFolder(const fs::path& root, const fs::path& output,
                        const ProgressCallback& progress) {
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::CannotOpen, root,
                           "there is no folder of that name");
    }
    PackList list;
    ListFiles(root, list, excludedPathsFor(output));
    writeArchive(root, list, output, progress);
    return list.FileCount;
}

}  // namespace tessapak::archive
