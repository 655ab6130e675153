#include "archive/folder_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "archive/archive_error.h"
#include "archive/file_io.h"
#include "archive/names.h"
#include "archive/pack.h"

namespace tessapak::archive {

namespace {

using FileId = std::pair<dev_t, ino_t>;

// The key of the fixed order within a folder: ASCII letters upper-cased,
// then code unit by code unit; names equal under it fall back to the plain
// code units, so that the order never depends on the file system.
bool comesBefore(const std::u16string& a, const std::u16string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        auto up = [](char16_t c) {
            return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
        };
        const char16_t ca = up(a[i]);
        const char16_t cb = up(b[i]);
        if (ca != cb) {
            return ca < cb;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

struct Item {
    std::string name;      // as the file system gives it
    std::u16string units;  // stored form of the name alone, when it has one
    bool storable = false;
    std::int64_t size = 0;
};

class Walker {
  public:
    Walker(PackList& list, std::vector<FileId> excluded)
        : list_(list), excluded_(std::move(excluded)) {}

    // prefix is the stored path of folder with a trailing "\", or empty at the
    // root; badFolder names the first folder on the way whose name cannot be
    // stored (files below it cannot be stored either).
    void walk(io::Fd folder, const std::filesystem::path& hostPath, const std::u16string& prefix,
              const std::filesystem::path& badFolder) {
        std::vector<Item> files;
        std::vector<Item> folders;
        list(folder.get(), hostPath, files, folders);
        std::sort(files.begin(), files.end(),
                  [](const Item& a, const Item& b) { return comesBefore(a.units, b.units); });
        std::sort(folders.begin(), folders.end(),
                  [](const Item& a, const Item& b) { return comesBefore(a.units, b.units); });

        for (Item& file : files) {
            if (!badFolder.empty()) {
                throw ArchiveError(ErrorKind::LimitExceeded, ErrorCause::NameNotRepresentable,
                                   hostPath / file.name,
                                   "the folder name of " + badFolder.filename().string() +
                                       " cannot be stored in an RDB archive: " +
                                       unstorableNameReason(badFolder.filename()));
            }
            if (!file.storable) {
                throw ArchiveError(ErrorKind::LimitExceeded, ErrorCause::NameNotRepresentable,
                                   hostPath / file.name,
                                   "the file name cannot be stored in an RDB archive: " +
                                       unstorableNameReason(file.name));
            }
            std::u16string stored = prefix + file.units;
            list_.DirTotal += entrySizeOf(stored);
            list_.FileNames.push_back(std::move(stored));
            list_.FileSizes.push_back(file.size);
            ++list_.FileCount;
        }

        for (Item& sub : folders) {
            io::Fd fd(::openat(folder.get(), sub.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!fd) {
                if (errno == ENOENT || errno == ELOOP) {
                    continue;  // vanished since the listing, or a loop of links
                }
                cannotList(hostPath / sub.name, errno);
            }
            struct stat st;
            if (::fstat(fd.get(), &st) != 0) {
                cannotList(hostPath / sub.name, errno);
            }
            const FileId id{st.st_dev, st.st_ino};
            if (std::find(onPath_.begin(), onPath_.end(), id) != onPath_.end()) {
                continue;  // a link back up the tree: entering it would never end
            }
            std::filesystem::path subPath = hostPath / sub.name;
            std::filesystem::path subBad = badFolder;
            if (subBad.empty() && !sub.storable) {
                subBad = subPath;
            }
            onPath_.push_back(id);
            walk(std::move(fd), subPath, prefix + sub.units + u'\\', subBad);
            onPath_.pop_back();
        }
    }

    void enter(const FileId& id) { onPath_.push_back(id); }

  private:
    static std::int64_t entrySizeOf(const std::u16string& stored) {
        return 2 * static_cast<std::int64_t>(stored.size()) + 18;
    }

    // Reads the whole listing of one folder before anything below it is
    // opened, so that only one listing is open at a time.
    // A folder whose files cannot all be seen ends the run: an archive
    // without them would pass for a complete one.
    [[noreturn]] static void cannotList(const std::filesystem::path& path, int err) {
        io::fail(ErrorKind::FileSystem, ErrorCause::CannotOpen, path, "cannot list the folder",
                 err);
    }

    void list(int folderFd, const std::filesystem::path& hostPath, std::vector<Item>& files,
              std::vector<Item>& folders) {
        const int listingFd = ::dup(folderFd);
        if (listingFd < 0) {
            cannotList(hostPath, errno);
        }
        std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(listingFd), ::closedir);
        if (!dir) {
            const int err = errno;
            ::close(listingFd);
            cannotList(hostPath, err);
        }
        while (true) {
            errno = 0;
            const dirent* entry = ::readdir(dir.get());
            if (!entry) {
                if (errno != 0) {
                    cannotList(hostPath, errno);
                }
                break;
            }
            const char* name = entry->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
                continue;
            }
            bool isFolder = false;
            std::int64_t size = 0;
            if (entry->d_type == DT_DIR) {
                isFolder = true;
            } else if (entry->d_type == DT_REG || entry->d_type == DT_LNK ||
                       entry->d_type == DT_UNKNOWN) {
                // One stat per file, following links: a link to a folder is
                // walked, a link to a file is packed as that file.
                struct stat st;
                if (::fstatat(folderFd, name, &st, 0) != 0) {
                    if (errno == ENOENT || errno == ELOOP || errno == ENOTDIR) {
                        continue;  // vanished, a dangling link, or a loop of links
                    }
                    io::fail(ErrorKind::FileSystem, ErrorCause::CannotOpen, hostPath / name,
                             "cannot read what kind of file this is", errno);
                }
                if (S_ISDIR(st.st_mode)) {
                    isFolder = true;
                } else if (S_ISREG(st.st_mode)) {
                    if (isExcluded({st.st_dev, st.st_ino})) {
                        continue;
                    }
                    size = st.st_size;
                } else {
                    continue;  // sockets, FIFOs and devices are system entries
                }
            } else {
                continue;
            }
            Item item;
            item.name = name;
            auto units = utf8ToUtf16(item.name);
            item.storable = units && item.name.find('\\') == std::string::npos &&
                            unsafeNameReason(*units).empty();
            if (units) {
                item.units = std::move(*units);
            } else {
                // Sorts somewhere fixed; never stored.
                item.units.assign(item.name.begin(), item.name.end());
            }
            item.size = size;
            (isFolder ? folders : files).push_back(std::move(item));
        }
    }

    bool isExcluded(const FileId& id) const {
        return std::find(excluded_.begin(), excluded_.end(), id) != excluded_.end();
    }

    PackList& list_;
    std::vector<FileId> excluded_;
    std::vector<FileId> onPath_;
};

}  // namespace

void ListFiles(const std::filesystem::path& folder, PackList& list,
               const std::vector<std::filesystem::path>& excluded) {
    const std::string& native = folder.native();
    auto units = utf8ToUtf16(native);
    std::int64_t rootLen =
        units ? static_cast<std::int64_t>(units->size()) : static_cast<std::int64_t>(native.size());
    if (native.empty() || native.back() != '/') {
        ++rootLen;
    }
    list.RootLen = rootLen;

    // Excluded files are recognised by identity, so that any spelling of
    // their path, or a link to them, is left out too.
    std::vector<FileId> ids;
    for (const auto& path : excluded) {
        for (const auto& candidate : {path, temporaryPathFor(path)}) {
            struct stat st;
            if (::stat(candidate.c_str(), &st) == 0) {
                ids.emplace_back(st.st_dev, st.st_ino);
            }
        }
    }

    io::Fd fd(::open(native.empty() ? "." : native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) {
        return;  // a path that names no folder contributes nothing
    }
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) {
        return;
    }
    Walker walker(list, std::move(ids));
    walker.enter({st.st_dev, st.st_ino});
    walker.walk(std::move(fd), folder, u"", {});
}

}  // namespace tessapak::archive
