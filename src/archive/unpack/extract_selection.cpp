#include "archive/extract_selection.h"

#include <algorithm>
#include <map>
#include <memory>
#include <numeric>
#include <optional>
#include <set>
#include <unordered_map>

#include "archive/archive_error.h"
#include "archive/display_text.h"
#include "archive/entry_reader.h"
#include "archive/format/names.h"
#include "archive/host/folder_chain.h"
#include "archive/host/host_fs.h"

namespace tessapak::archive {

namespace {

namespace fs = std::filesystem;

// Short, so that it fits beside any name the host allows; the leading dot
// keeps it out of sight while it is written.
const host::NativeString kTemporaryPrefix = fs::path(".tessapak-").native();
const host::NativeString kTemporarySuffix = fs::path(".part").native();

}  // namespace

fs::path relativeHostPath(const ArchiveReader& reader, std::size_t index) {
    const RdbEntry& entry = reader.entries().at(index);
    const std::optional<fs::path> relative = hostPathFor(entry.Name);
    if (!relative) {
        // The reader refuses such archives; this guards a reader not yet read.
        throw ArchiveError(ErrorKind::DamagedArchive, ErrorCause::UnsafeName, reader.path(),
                           "entry " + std::to_string(index + 1) + " (" + displayName(entry.Name) +
                               "): unsafe name");
    }
    return *relative;
}

std::vector<std::size_t> selectEntries(const std::vector<RdbEntry>& entries,
                                       const std::vector<std::u16string>& names,
                                       std::vector<std::u16string>& unmatched) {
    std::vector<bool> picked(entries.size(), names.empty());
    if (!names.empty()) {
        // Sorted, every entry below a folder follows the folder's name plus "\".
        std::vector<std::size_t> order(entries.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::sort(order.begin(), order.end(),
                  [&](std::size_t a, std::size_t b) { return entries[a].Name < entries[b].Name; });
        const auto from = [&](const std::u16string& key) {
            return std::lower_bound(
                order.begin(), order.end(), key,
                [&](std::size_t k, const std::u16string& v) { return entries[k].Name < v; });
        };
        for (const std::u16string& name : names) {
            std::u16string stem = name;
            const bool folderOnly = !stem.empty() && stem.back() == u'\\';
            while (!stem.empty() && stem.back() == u'\\') {
                stem.pop_back();
            }
            bool any = false;
            if (!folderOnly) {
                for (auto it = from(stem); it != order.end() && entries[*it].Name == stem; ++it) {
                    picked[*it] = any = true;
                }
            }
            // An empty stem (the name "\") is the whole archive.
            const std::u16string below = stem.empty() ? stem : stem + u'\\';
            for (auto it = from(below); it != order.end() && entries[*it].Name.starts_with(below);
                 ++it) {
                picked[*it] = any = true;
            }
            if (!any) {
                unmatched.push_back(name);
            }
        }
    }
    // Of entries of one name, the last one wins.
    std::unordered_map<std::u16string_view, std::size_t> last;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (picked[i]) {
            last[entries[i].Name] = i;
        }
    }
    std::vector<std::size_t> result;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (picked[i] && last[entries[i].Name] == i) {
            result.push_back(i);
        }
    }
    return result;
}

std::vector<Obstacle> findObstacles(const ArchiveReader& reader,
                                    const std::vector<std::size_t>& picked,
                                    const fs::path& folder) {
    enum class Seen { Missing, Folder, Blocked };
    std::map<fs::path, Seen> folders;  // by relative path, each looked at once
    std::set<fs::path> reported;
    std::vector<Obstacle> obstacles;
    const auto report = [&](const fs::path& path, bool replaceable) {
        if (reported.insert(path).second) {
            obstacles.push_back({path, replaceable});
        }
    };
    for (const std::size_t index : picked) {
        const fs::path relative = relativeHostPath(reader, index);
        fs::path prefix;
        Seen parent = Seen::Folder;
        for (const fs::path& part : relative.parent_path()) {
            prefix /= part;
            if (parent != Seen::Folder) {
                break;  // nothing below a missing or blocked folder needs looking at
            }
            const auto [it, added] = folders.try_emplace(prefix, Seen::Missing);
            if (added) {
                std::error_code error;
                const host::Kind kind =
                    host::statusOf(folder / prefix, host::Links::DoNotFollow, error).kind;
                if (kind == host::Kind::Folder) {
                    it->second = Seen::Folder;
                } else if (kind != host::Kind::Missing) {
                    it->second = Seen::Blocked;
                    report(folder / prefix, false);
                }
            }
            parent = it->second;
        }
        if (parent != Seen::Folder) {
            continue;
        }
        std::error_code error;
        const host::Kind kind =
            host::statusOf(folder / relative, host::Links::DoNotFollow, error).kind;
        if (kind != host::Kind::Missing) {
            report(folder / relative, kind != host::Kind::Folder);
        }
    }
    return obstacles;
}

namespace {

host::Folder openDestination(const fs::path& folder) {
    std::error_code error;
    host::Folder root = host::Folder::open(folder, error);
    if (error) {
        if (host::isNotFound(error)) {
            throw ArchiveError(ErrorKind::FileSystem, ErrorCause::OutputFolderMissing, folder,
                               "the folder to extract into does not exist");
        }
        failWith(ErrorKind::FileSystem, ErrorCause::CannotOpen, folder, "cannot open the folder",
                 error);
    }
    return root;
}

// Fails before anything is written when one obstacle cannot be removed.
void refuseObstacles(const ArchiveReader& reader, const std::vector<std::size_t>& picked,
                     const fs::path& folder, bool overwrite) {
    for (const Obstacle& obstacle : findObstacles(reader, picked, folder)) {
        if (!obstacle.replaceable) {
            throw ArchiveError(ErrorKind::FileSystem, ErrorCause::CannotCreate, obstacle.path,
                               "something else is in the way of a file or folder to be "
                               "extracted; nothing was written");
        }
        if (!overwrite) {
            throw ArchiveError(ErrorKind::FileSystem, ErrorCause::CannotCreate, obstacle.path,
                               "a file of that name is already there; nothing was written");
        }
    }
}

// One run's way of writing files below its folder.
class SelectionWriter {
  public:
    SelectionWriter(const ArchiveReader& reader, const fs::path& folder,
                    const SelectionOptions& options, SelectionOutcome& outcome)
        : reader_(reader),
          folder_(folder),
          options_(options),
          outcome_(outcome),
          folders_(openDestination(folder), FolderChain::Mode::Create),
          entries_(reader),
          buffer_(std::make_unique<unsigned char[]>(host::kCopyBufferSize)) {}

    bool stopped() {
        if (options_.cancelled && options_.cancelled()) {
            outcome_.cancelled = true;
        }
        return outcome_.cancelled;
    }

    // Writes one entry under a temporary name and renames it into place;
    // false when cancelled half-way, which takes the temporary with it.
    bool write(std::size_t index) {
        const fs::path relative = relativeHostPath(reader_, index);
        const fs::path target = folder_ / relative;
        const host::Folder& into = enter(relative.parent_path());
        host::TemporaryFile temporary = temporaryIn(into, relative.parent_path(), target);
        const std::int64_t size = reader_.entries()[index].DataSize;
        for (std::int64_t done = 0; done < size;) {
            if (done > 0 && stopped()) {
                return false;
            }
            const std::size_t got =
                entries_.readPart(index, done, buffer_.get(), host::kCopyBufferSize);
            if (const auto writeError = temporary.file().writeAll(buffer_.get(), got)) {
                failWith(ErrorKind::FileSystem, ErrorCause::CannotWrite, target,
                         "cannot write the file", writeError);
            }
            done += static_cast<std::int64_t>(got);
        }
        putInPlace(temporary, into, relative.filename().native(), target);
        outcome_.written.push_back(index);
        outcome_.bytes += size;
        return true;
    }

  private:
    const host::Folder& enter(const fs::path& relativeFolder) {
        std::error_code error;
        fs::path failedAt;
        const host::Folder& into = folders_.moveTo(relativeFolder, error, failedAt);
        if (error) {
            failWith(ErrorKind::FileSystem, ErrorCause::CannotCreate, folder_ / failedAt,
                     host::isLink(error) ? "a link stands where a folder must be"
                                         : "cannot create the folder",
                     error);
        }
        return into;
    }

    host::TemporaryFile temporaryIn(const host::Folder& into, const fs::path& relativeFolder,
                                    const fs::path& target) {
        std::error_code error;
        host::TemporaryFile temporary = host::TemporaryFile::create(
            folder_ / relativeFolder, kTemporaryPrefix, kTemporarySuffix, error);
        if (error) {
            failWith(ErrorKind::FileSystem, ErrorCause::CannotCreate, target,
                     "cannot create a temporary file beside it", error);
        }
        // The temporary was made by path; it must have landed in the folder
        // reached without links, or a link swapped in since could redirect it.
        const host::FileId made = temporary.file().status(error).id;
        const host::Status there =
            into.statusOf(temporary.path().filename().native(), host::Links::DoNotFollow, error);
        if (error || there.kind != host::Kind::File || !(there.id == made)) {
            throw ArchiveError(ErrorKind::FileSystem, ErrorCause::CannotCreate, target,
                               "the folder was replaced while the file was written");
        }
        return temporary;
    }

    void putInPlace(host::TemporaryFile& temporary, const host::Folder& into,
                    const host::NativeString& name, const fs::path& target) {
        std::error_code error;
        // Looked at again at the last moment: a file that appeared since the
        // first look is still never replaced unless asked.
        if (!options_.overwrite &&
            into.statusOf(name, host::Links::DoNotFollow, error).kind != host::Kind::Missing) {
            throw ArchiveError(ErrorKind::FileSystem, ErrorCause::CannotCreate, target,
                               "a file of that name appeared while extracting; it was left alone");
        }
        if (const auto replaceError = temporary.replace(name)) {
            failWith(ErrorKind::FileSystem, ErrorCause::CannotWrite, target,
                     "cannot put the file in place", replaceError);
        }
    }

    const ArchiveReader& reader_;
    const fs::path& folder_;
    const SelectionOptions& options_;
    SelectionOutcome& outcome_;
    FolderChain folders_;
    const EntryReader entries_;
    std::unique_ptr<unsigned char[]> buffer_;
};

}  // namespace

void extractSelection(const ArchiveReader& reader, const std::vector<std::size_t>& picked,
                      const fs::path& folder, const SelectionOptions& options,
                      SelectionOutcome& outcome) {
    SelectionWriter writer(reader, folder, options, outcome);
    refuseObstacles(reader, picked, folder, options.overwrite);
    const auto total = static_cast<std::int64_t>(picked.size());
    for (const std::size_t index : picked) {
        if (writer.stopped() || !writer.write(index)) {
            return;
        }
        if (options.progress) {
            options.progress(static_cast<std::int64_t>(outcome.written.size()), total);
        }
    }
}

}  // namespace tessapak::archive
