#include "archive/folder_walk.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "archive/archive_error.h"
#include "archive/display_text.h"
#include "archive/format/names.h"
#include "archive/format/rdb_format.h"
#include "archive/host/host_fs.h"
#include "archive/output_names.h"

namespace tessapak::archive {

namespace {

namespace fs = std::filesystem;
using host::NativeString;

// Folders deeper than this many levels above the current one are closed and
// reopened when needed, so that no depth runs out of descriptors.
constexpr std::size_t kOpenLevels = 16;

struct Item {
    NativeString name;     // as the file system gives it
    std::u16string units;  // stored form of the name alone, when it has one
    bool storable = false;
    std::int64_t size = 0;
};

bool itemBefore(const Item& a, const Item& b) {
    return walkOrderBefore(a.units, b.units);
}

// Where the temporary files of an output archive lie, to leave them out.
struct TemporaryPattern {
    host::FileId folder;
    NativeString prefix;
    NativeString suffix;
};

// One folder on the current path of the walk.
struct Level {
    host::Folder folder;  // closed when far above the current level
    host::FileId id;
    NativeString name;             // in its parent; empty for the root
    std::vector<Item> subfolders;  // in walk order
    std::size_t next = 0;          // the next subfolder to walk
    std::size_t prefixLength = 0;  // of the stored prefix of this folder
};

// The walk keeps the current path as a stack of levels: memory grows with
// the tree's names, each held once, and only the last kOpenLevels levels
// keep a descriptor.
class Walker {
  public:
    Walker(PackList& list, const fs::path& root, std::vector<host::FileId> excluded,
           std::vector<TemporaryPattern> temporaries, const ListedCallback& listed)
        : list_(list),
          root_(root),
          excluded_(std::move(excluded)),
          temporaries_(std::move(temporaries)),
          listed_(listed) {}

    void run(host::Folder rootFolder, const host::FileId& rootId) {
        Level root;
        root.folder = std::move(rootFolder);
        root.id = rootId;
        levels_.push_back(std::move(root));
        seen_.emplace(rootId, Seen{0, true});
        nodes_.push_back({kNoParent, {}});
        listLevel();

        while (!levels_.empty()) {
            Level& top = levels_.back();
            if (top.next == top.subfolders.size()) {
                leave();
                continue;
            }
            enter(levels_.size() - 1, top.next++);
        }
    }

  private:
    static constexpr std::size_t kNoParent = static_cast<std::size_t>(-1);

    // A folder met so far: where in nodes_ its first path is, and whether it
    // is on the current path.
    struct Seen {
        std::size_t node;
        bool onPath;
    };
    // The first path of each folder met, as its parent and its name there.
    struct Node {
        std::size_t parent;
        NativeString name;
    };

    void enter(std::size_t parentIndex, std::size_t itemIndex) {
        const Item& sub = levels_[parentIndex].subfolders[itemIndex];
        std::error_code error;
        host::Folder child = folderAt(parentIndex).openFolder(sub.name, host::Links::Follow, error);
        if (error) {
            if (host::isNotFound(error) || host::isLink(error)) {
                return;  // vanished since the listing, or a loop of links
            }
            cannotList(pathOf(parentIndex) / sub.name, error);
        }
        const host::Status status = child.status(error);
        if (error) {
            cannotList(pathOf(parentIndex) / sub.name, error);
        }
        const auto found = seen_.find(status.id);
        if (found != seen_.end()) {
            if (found->second.onPath) {
                return;  // a link back up the tree: entering it would never end
            }
            // Walking it again would put its files in twice, and links
            // arranged so can make the tree as large as the disk allows.
            throw ArchiveError(
                ErrorKind::FileSystem, ErrorCause::CannotOpen, pathOf(parentIndex) / sub.name,
                "this folder was already packed as " + displayPath(nodePath(found->second.node)) +
                    "; a folder reached twice through links is not packed twice");
        }

        Level level;
        level.folder = std::move(child);
        level.id = status.id;
        level.name = sub.name;
        level.prefixLength = prefix_.size();
        if (badLevel_ == kNoParent && !sub.storable) {
            badLevel_ = levels_.size();
        }
        prefix_ += sub.units;
        prefix_ += u'\\';

        const std::size_t node = nodes_.size();
        nodes_.push_back({levelNodes_.empty() ? 0 : levelNodes_.back(), sub.name});
        seen_.emplace(status.id, Seen{node, true});
        levelNodes_.push_back(node);
        levels_.push_back(std::move(level));
        closeFarLevels(levels_.size() - 1);
        listLevel();
    }

    void leave() {
        Level& top = levels_.back();
        seen_[top.id].onPath = false;
        prefix_.resize(top.prefixLength);
        if (badLevel_ == levels_.size() - 1) {
            badLevel_ = kNoParent;
        }
        levels_.pop_back();
        if (!levelNodes_.empty()) {
            levelNodes_.pop_back();
        }
    }

    void closeFarLevels(std::size_t current) {
        if (current > kOpenLevels) {
            levels_[current - kOpenLevels].folder.reset();
        }
    }

    // The open folder of a level, reopened from the nearest open one above
    // it when it was closed; a folder swapped since it was walked fails.
    const host::Folder& folderAt(std::size_t index) {
        if (levels_[index].folder) {
            return levels_[index].folder;
        }
        std::size_t open = index;
        while (!levels_[open].folder) {
            --open;  // the root stays open
        }
        for (std::size_t k = open + 1; k <= index; ++k) {
            std::error_code error;
            host::Folder folder =
                levels_[k - 1].folder.openFolder(levels_[k].name, host::Links::Follow, error);
            host::Status status;
            if (!error) {
                status = folder.status(error);
            }
            if (error && !host::isNotFound(error)) {
                cannotList(pathOf(k), error);
            }
            if (error || status.id != levels_[k].id) {
                throw ArchiveError(ErrorKind::FileSystem, ErrorCause::FileChanged, pathOf(k),
                                   "the folder was moved or replaced while it was packed");
            }
            levels_[k].folder = std::move(folder);
            closeFarLevels(k);
        }
        return levels_[index].folder;
    }

    // Reads the whole listing of one folder before anything below it is
    // opened, so that only one listing is open at a time.
    void listLevel() {
        const std::size_t index = levels_.size() - 1;
        std::error_code error;
        std::vector<host::FolderEntry> entries = folderAt(index).list(error);
        if (error) {
            cannotList(pathOf(index), error);
        }
        const TemporaryPattern* pattern = nullptr;
        for (const TemporaryPattern& candidate : temporaries_) {
            if (candidate.folder == levels_[index].id) {
                pattern = &candidate;
            }
        }

        std::vector<Item> files;
        std::vector<Item> folders;
        for (host::FolderEntry& entry : entries) {
            if (entry.error) {
                failWith(ErrorKind::FileSystem, ErrorCause::CannotOpen, pathOf(index) / entry.name,
                         "cannot read what kind of file this is", entry.error);
            }
            if (entry.kind == host::Kind::File) {
                if (isExcluded(entry.id) || (pattern && isTemporary(entry.name, *pattern))) {
                    continue;
                }
            } else if (entry.kind != host::Kind::Folder) {
                continue;  // vanished, dangling links, loops; FIFOs, sockets and devices
            }
            Item item;
            const fs::path name(entry.name);
            auto units = storedNameFor(name);
            item.storable = units.has_value();
            if (units) {
                item.units = std::move(*units);
            } else {
                // Sorts somewhere fixed; never stored.
                item.units.assign(entry.name.begin(), entry.name.end());
            }
            item.name = std::move(entry.name);
            item.size = entry.size;
            (entry.kind == host::Kind::Folder ? folders : files).push_back(std::move(item));
        }
        entries = {};
        std::sort(files.begin(), files.end(), itemBefore);
        std::sort(folders.begin(), folders.end(), itemBefore);

        const std::size_t first = list_.FileNames.size();
        for (Item& file : files) {
            addFile(index, file);
        }
        if (listed_ && list_.FileNames.size() > first) {
            listed_(list_, first);
        }
        levels_[index].subfolders = std::move(folders);
    }

    void addFile(std::size_t index, const Item& file) {
        if (badLevel_ != kNoParent) {
            const NativeString& badName = levels_[badLevel_].name;
            throw ArchiveError(ErrorKind::LimitExceeded, ErrorCause::NameNotRepresentable,
                               pathOf(index) / file.name,
                               "the folder name of " + displayPath(fs::path(badName)) +
                                   " cannot be stored in an RDB archive: " +
                                   unstorableNameReason(fs::path(badName)));
        }
        if (!file.storable) {
            throw ArchiveError(ErrorKind::LimitExceeded, ErrorCause::NameNotRepresentable,
                               pathOf(index) / file.name,
                               "the file name cannot be stored in an RDB archive: " +
                                   unstorableNameReason(fs::path(file.name)));
        }
        std::u16string stored = prefix_ + file.units;
        const std::int64_t entry = entrySize(stored);
        // Summed as the walk goes, so that no tree, however links multiply
        // it, is listed past what an archive can hold.
        archiveSize_ += entry + file.size;
        if (archiveSize_ > kFormatLimit) {
            throw ArchiveError(
                ErrorKind::LimitExceeded, ErrorCause::ArchiveTooLarge, pathOf(index) / file.name,
                "with this file the archive would pass " + std::string(kFormatLimitText) +
                    " bytes; " + std::string(kFormatLimitNote));
        }
        list_.DirTotal += entry;
        list_.FileNames.push_back(std::move(stored));
        list_.FileSizes.push_back(file.size);
        ++list_.FileCount;
    }

    bool isExcluded(const host::FileId& id) const {
        return std::find(excluded_.begin(), excluded_.end(), id) != excluded_.end();
    }

    static bool isTemporary(const NativeString& name, const TemporaryPattern& pattern) {
        return host::matchesTemporaryPattern(name, pattern.prefix, pattern.suffix);
    }

    // Paths are built only for messages, so that a deep tree does not hold
    // one growing copy per level.
    fs::path pathOf(std::size_t index) const {
        fs::path path = root_;
        for (std::size_t k = 1; k <= index; ++k) {
            path /= levels_[k].name;
        }
        return path;
    }

    fs::path nodePath(std::size_t node) const {
        std::vector<std::size_t> chain;
        for (std::size_t k = node; k != 0; k = nodes_[k].parent) {
            chain.push_back(k);
        }
        fs::path path = root_;
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            path /= nodes_[*it].name;
        }
        return path;
    }

    // A folder whose files cannot all be seen ends the run: an archive
    // without them would pass for a complete one.
    [[noreturn]] static void cannotList(const fs::path& path, const std::error_code& error) {
        failWith(ErrorKind::FileSystem, ErrorCause::CannotOpen, path, "cannot list the folder",
                 error);
    }

    PackList& list_;
    fs::path root_;
    std::vector<host::FileId> excluded_;
    std::vector<TemporaryPattern> temporaries_;
    const ListedCallback& listed_;
    std::vector<Level> levels_;
    std::vector<std::size_t> levelNodes_;  // node of each level below the root
    std::vector<Node> nodes_;
    std::unordered_map<host::FileId, Seen, host::FileIdHash> seen_;
    std::u16string prefix_;             // stored path of the current folder with a trailing "\"
    std::size_t badLevel_ = kNoParent;  // first level whose name cannot be stored
    std::int64_t archiveSize_ = static_cast<std::int64_t>(kHeaderSize);
};

// An empty archive for a mistyped folder, or in place of the files that
// could not be seen, would pass for a complete one.
[[noreturn]] void refuseRoot(const fs::path& folder, const std::error_code& error) {
    std::error_code statusError;
    const host::Kind kind = host::statusOf(folder, host::Links::Follow, statusError).kind;
    if (!statusError && kind != host::Kind::Missing && kind != host::Kind::Folder) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::CannotOpen, folder,
                           "it is not a folder", std::make_error_code(std::errc::not_a_directory));
    }
    if (host::isNotFound(error) || (!statusError && kind == host::Kind::Missing)) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::CannotOpen, folder,
                           "there is no folder of that name",
                           std::make_error_code(std::errc::no_such_file_or_directory));
    }
    failWith(ErrorKind::FileSystem, ErrorCause::CannotOpen, folder, "cannot open the folder",
             error);
}

}  // namespace

void requireFolderToWalk(const fs::path& folder) {
    std::error_code error;
    if (host::statusOf(folder, host::Links::Follow, error).kind != host::Kind::Folder) {
        refuseRoot(folder, error);
    }
    // Opened once too, so that a folder that cannot be read is told before
    // the output is touched, whatever else is short (descriptors, rights).
    if (!host::Folder::open(folder, error)) {
        refuseRoot(folder, error);
    }
}

void ListFiles(const std::filesystem::path& folder, PackList& list,
               const std::vector<std::filesystem::path>& excluded, const ListedCallback& listed) {
    // Excluded files are recognised by identity, so that any spelling of
    // their path, or a link to them, is left out too; their temporary files
    // by name inside the folder that holds them.
    std::vector<host::FileId> ids;
    std::vector<TemporaryPattern> temporaries;
    for (const auto& path : excluded) {
        std::error_code error;
        const host::Status status = host::statusOf(path, host::Links::Follow, error);
        if (!error && status.kind == host::Kind::File) {
            ids.push_back(status.id);
        }
        const fs::path parent = path.parent_path();
        const host::Status folderStatus = host::statusOf(parent, host::Links::Follow, error);
        if (!error && folderStatus.kind == host::Kind::Folder) {
            const auto [prefix, suffix] = temporaryNamePattern(path);
            temporaries.push_back({folderStatus.id, prefix, suffix});
        }
    }

    std::error_code error;
    host::Folder root = host::Folder::open(folder, error);
    host::Status status;
    if (!error) {
        status = root.status(error);
    }
    if (error) {
        refuseRoot(folder, error);
    }
    Walker walker(list, folder, std::move(ids), std::move(temporaries), listed);
    walker.run(std::move(root), status.id);
}

}  // namespace tessapak::archive
