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

void extractSelection(const ArchiveReader& reader, const std::vector<std::size_t>& picked,
                      const fs::path& folder, const SelectionOptions& options,
                      SelectionOutcome& outcome) {
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
    for (const Obstacle& obstacle : findObstacles(reader, picked, folder)) {
        if (!obstacle.replaceable) {
            throw ArchiveError(ErrorKind::FileSystem, ErrorCause::CannotCreate, obstacle.path,
                               "something else is in the way of a file or folder to be "
                               "extracted; nothing was written");
        }
        if (!options.overwrite) {
            throw ArchiveError(ErrorKind::FileSystem, ErrorCause::CannotCreate, obstacle.path,
                               "a file of that name is already there; nothing was written");
        }
    }

    const auto stop = [&] {
        if (options.cancelled && options.cancelled()) {
            outcome.cancelled = true;
        }
        return outcome.cancelled;
    };
    FolderChain folders(std::move(root), FolderChain::Mode::Create);
    const EntryReader entries(reader);
    const auto buffer = std::make_unique<unsigned char[]>(host::kCopyBufferSize);
    const auto total = static_cast<std::int64_t>(picked.size());
    for (const std::size_t index : picked) {
        if (stop()) {
            return;
        }
        const fs::path relative = relativeHostPath(reader, index);
        const fs::path target = folder / relative;
        const host::NativeString name = relative.filename().native();
        fs::path failedAt;
        const host::Folder& into = folders.moveTo(relative.parent_path(), error, failedAt);
        if (error) {
            failWith(ErrorKind::FileSystem, ErrorCause::CannotCreate, folder / failedAt,
                     host::isLink(error) ? "a link stands where a folder must be"
                                         : "cannot create the folder",
                     error);
        }
        host::TemporaryFile temporary = host::TemporaryFile::create(
            folder / relative.parent_path(), kTemporaryPrefix, kTemporarySuffix, error);
        if (error) {
            failWith(ErrorKind::FileSystem, ErrorCause::CannotCreate, target,
                     "cannot create a temporary file beside it", error);
        }
        // The temporary was made by path; it must have landed in the folder
        // reached without links, or a link swapped in since could redirect it.
        std::error_code idError;
        const host::FileId made = temporary.file().status(idError).id;
        const host::Status there =
            into.statusOf(temporary.path().filename().native(), host::Links::DoNotFollow, idError);
        if (idError || there.kind != host::Kind::File || !(there.id == made)) {
            throw ArchiveError(ErrorKind::FileSystem, ErrorCause::CannotCreate, target,
                               "the folder was replaced while the file was written");
        }
        const std::int64_t size = reader.entries()[index].DataSize;
        for (std::int64_t done = 0; done < size;) {
            if (done > 0 && stop()) {
                return;  // the temporary goes with it
            }
            const std::size_t got =
                entries.readPart(index, done, buffer.get(), host::kCopyBufferSize);
            if (const auto writeError = temporary.file().writeAll(buffer.get(), got)) {
                failWith(ErrorKind::FileSystem, ErrorCause::CannotWrite, target,
                         "cannot write the file", writeError);
            }
            done += static_cast<std::int64_t>(got);
        }
        // Looked at again at the last moment: a file that appeared since the
        // first look is still never replaced unless asked.
        if (!options.overwrite &&
            into.statusOf(name, host::Links::DoNotFollow, idError).kind != host::Kind::Missing) {
            throw ArchiveError(ErrorKind::FileSystem, ErrorCause::CannotCreate, target,
                               "a file of that name appeared while extracting; it was left alone");
        }
        if (const auto replaceError = temporary.replace(name)) {
            failWith(ErrorKind::FileSystem, ErrorCause::CannotWrite, target,
                     "cannot put the file in place", replaceError);
        }
        outcome.written.push_back(index);
        outcome.bytes += size;
        if (options.progress) {
            options.progress(static_cast<std::int64_t>(outcome.written.size()), total);
        }
    }
}

}  // namespace tessapak::archive
