#include "archive/update.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "archive/archive_error.h"
#include "archive/display_text.h"
#include "archive/extract_selection.h"
#include "archive/format/names.h"
#include "archive/format/rdb_format.h"
#include "archive/host/host_fs.h"
#include "archive/pack/archive_writer.h"
#include "archive/unpack.h"

namespace tessapak::archive {

namespace {

namespace fs = std::filesystem;

// Whether a pack walks name a before name b: a folder's files first, then
// each subfolder completely.
bool walkedBefore(std::u16string_view a, std::u16string_view b) {
    while (true) {
        const std::size_t cutA = a.find(kStoredSeparator);
        const std::size_t cutB = b.find(kStoredSeparator);
        const std::u16string_view partA = a.substr(0, cutA);
        const std::u16string_view partB = b.substr(0, cutB);
        const bool fileA = cutA == std::u16string_view::npos;
        const bool fileB = cutB == std::u16string_view::npos;
        if (fileA != fileB) {
            return fileA;
        }
        if (fileA || partA != partB) {
            return walkOrderBefore(partA, partB);
        }
        a.remove_prefix(cutA + 1);
        b.remove_prefix(cutB + 1);
    }
}

// An entry's place, for messages: inside the archive's path.
fs::path placeInside(const fs::path& archive, const std::u16string& name) {
    if (const auto relative = hostPathFor(name)) {
        return archive / *relative;
    }
    return archive / pathFromUtf8(displayName(name));
}

// One entry of the new archive.
struct Planned {
    std::u16string name;
    std::int64_t size = 0;
    std::int64_t copiedAt = -1;        // in the old archive; -1 when read from source
    const fs::path* source = nullptr;  // the file its bytes come from
};

class SourceFile : public PipelineFile {
  public:
    SourceFile(host::File file, const fs::path& path) : file_(std::move(file)), path_(path) {}

    std::size_t read(unsigned char* buffer, std::size_t size) override {
        std::error_code error;
        const std::int64_t got = file_.readOnce(buffer, size, error);
        if (got < 0) {
            failWith(ErrorKind::FileSystem, ErrorCause::CannotRead, path_, "cannot read the file",
                     error);
        }
        return static_cast<std::size_t>(got);
    }

  private:
    host::File file_;
    const fs::path& path_;
};

// The size of a source as it is now; the copy later checks it still holds it.
std::int64_t sourceSize(const fs::path& source) {
    std::error_code error;
    const host::Status status = host::statusOf(source, host::Links::Follow, error);
    if (error) {
        failWith(ErrorKind::FileSystem, ErrorCause::CannotOpen, source, "cannot read the file",
                 error);
    }
    if (status.kind == host::Kind::Missing) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::CannotOpen, source,
                           "there is no such file");
    }
    if (status.kind != host::Kind::File) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::CannotOpen, source,
                           "not a regular file");
    }
    if (status.size > kFormatLimit) {
        throw ArchiveError(
            ErrorKind::LimitExceeded, ErrorCause::ArchiveTooLarge, source,
            "the file is larger than an RDB archive can hold; " + std::string(kFormatLimitNote));
    }
    return status.size;
}

// Opens the archive and reads its directory; the handle returned is the
// file the directory was read from, or the update fails.
host::File openArchive(const fs::path& path, ArchiveReader& reader) {
    std::error_code error;
    host::File file = host::openForReading(path, error);
    reader.readDirectory();
    if (error) {
        failWith(ErrorKind::FileSystem, ErrorCause::CannotOpen, path, "cannot open the archive",
                 error);
    }
    std::error_code statusError;
    const host::Status mine = file.status(statusError);
    const host::Status there = host::statusOf(path, host::Links::Follow, statusError);
    if (statusError || !(mine.id == there.id)) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::FileChanged, path,
                           "the archive was replaced while it was read");
    }
    return file;
}

// Marks every entry a removal takes: as selectEntries picks, and every
// earlier entry of a picked name, which would otherwise come to light.
std::vector<bool> removedEntries(const fs::path& archive, const std::vector<RdbEntry>& entries,
                                 const std::vector<std::u16string>& names) {
    std::vector<bool> removed(entries.size(), false);
    if (names.empty()) {
        return removed;
    }
    for (const std::u16string& name : names) {
        // selectEntries takes it for the whole archive: too much for a
        // slip such as an empty variable in a script.
        if (name.find_first_not_of(kStoredSeparator) == std::u16string::npos) {
            throw ArchiveError(ErrorKind::FileSystem, ErrorCause::NoSuchEntry, archive,
                               "an empty name names no entry or folder to remove");
        }
    }
    std::vector<std::u16string> unmatched;
    const std::vector<std::size_t> picked = selectEntries(entries, names, unmatched);
    if (!unmatched.empty()) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::NoSuchEntry, archive,
                           "there is no entry or folder named \"" + displayName(unmatched.front()) +
                               "\" to remove");
    }
    std::unordered_set<std::u16string_view> pickedNames;
    for (const std::size_t i : picked) {
        pickedNames.insert(entries[i].Name);
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        removed[i] = pickedNames.contains(entries[i].Name);
    }
    return removed;
}

}  // namespace

namespace {

// The archive's entries less the removed ones, each to be copied from where
// its bytes lie now; from is left open on the archive to copy them from.
std::vector<Planned> entriesKept(const fs::path& archive, const std::vector<EntryUpdate>& changes,
                                 host::File& from, UpdateSummary& summary) {
    ArchiveReader reader(archive);
    from = openArchive(archive, reader);
    const std::vector<RdbEntry>& entries = reader.entries();
    const std::int64_t dataStart =
        std::int64_t{reader.header().DirOffset} + reader.header().DirSize;
    std::vector<std::u16string> removals;
    for (const EntryUpdate& change : changes) {
        if (!change.source) {
            removals.push_back(change.name);
        }
    }
    const std::vector<bool> removed = removedEntries(archive, entries, removals);
    std::vector<Planned> planned;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (removed[i]) {
            ++summary.removed;
        } else {
            planned.push_back(
                {entries[i].Name, entries[i].DataSize, dataStart + entries[i].DataOffset, nullptr});
        }
    }
    return planned;
}

// The kept entries with the replacements and additions put in.
class UpdatePlan {
  public:
    explicit UpdatePlan(std::vector<Planned> kept)
        : planned_(std::move(kept)), replaced_(planned_.size(), false) {
        for (std::size_t i = 0; i < planned_.size(); ++i) {
            lastOf_[planned_[i].name] = i;
        }
    }

    // Replacements take the place of the last entry of their name, which is
    // the one an unpack leaves; earlier ones of that name go.
    void put(const fs::path& archive, const EntryUpdate& change) {
        const std::string unsafe = unsafeNameReason(change.name, NameRules::Windows);
        if (!unsafe.empty()) {
            throw ArchiveError(ErrorKind::LimitExceeded, ErrorCause::NameNotRepresentable,
                               placeInside(archive, change.name),
                               "the entry name cannot be stored in an RDB archive: " + unsafe);
        }
        const std::int64_t size = sourceSize(*change.source);
        if (const auto found = lastOf_.find(change.name); found != lastOf_.end()) {
            Planned& entry = planned_[found->second];
            entry.size = size;
            entry.copiedAt = -1;
            entry.source = &*change.source;
            replaced_[found->second] = true;
        } else if (const auto again = addedAt_.find(change.name); again != addedAt_.end()) {
            additions_[again->second].size = size;
            additions_[again->second].source = &*change.source;
        } else {
            addedAt_.emplace(change.name, additions_.size());
            additions_.push_back({change.name, size, -1, &*change.source});
        }
    }

    // Each addition goes before the first entry a pack would walk after it;
    // in an archive a pack wrote, that is where a pack would have put it.
    std::vector<Planned> inWalkOrder(UpdateSummary& summary) {
        std::stable_sort(
            additions_.begin(), additions_.end(),
            [](const Planned& a, const Planned& b) { return walkedBefore(a.name, b.name); });
        std::vector<Planned> merged;
        merged.reserve(planned_.size() + additions_.size());
        auto next = additions_.begin();
        for (std::size_t i = 0; i < planned_.size(); ++i) {
            const std::size_t last = lastOf_.at(planned_[i].name);
            if (replaced_[last] && last != i) {
                continue;  // an earlier entry of a replaced name
            }
            while (next != additions_.end() && walkedBefore(next->name, planned_[i].name)) {
                merged.push_back(std::move(*next++));
            }
            summary.replaced += replaced_[i] ? 1 : 0;
            summary.kept += replaced_[i] ? 0 : 1;
            merged.push_back(std::move(planned_[i]));
        }
        std::move(next, additions_.end(), std::back_inserter(merged));
        summary.added = static_cast<std::int64_t>(additions_.size());
        return merged;
    }

  private:
    std::vector<Planned> planned_;
    std::vector<bool> replaced_;
    std::vector<Planned> additions_;
    std::unordered_map<std::u16string, std::size_t> lastOf_;
    std::unordered_map<std::u16string, std::size_t> addedAt_;
};

void writeUpdated(const fs::path& archive, const std::vector<Planned>& merged, EntrySources sources,
                  const ProgressCallback& progress) {
    PackList list;
    list.FileNames.reserve(merged.size());
    list.FileSizes.reserve(merged.size());
    sources.copiedAt.reserve(merged.size());
    for (const Planned& entry : merged) {
        list.FileNames.push_back(entry.name);
        list.FileSizes.push_back(entry.size);
        list.DirTotal += entrySize(entry.name);
        sources.copiedAt.push_back(entry.copiedAt);
    }
    list.FileCount = static_cast<std::int64_t>(merged.size());
    sources.fromPath = archive;
    sources.files.open = [&](std::size_t i) -> std::unique_ptr<PipelineFile> {
        const fs::path& path = *merged[i].source;
        std::error_code error;
        host::File file = host::openForReading(path, error);
        if (error) {
            failWith(ErrorKind::FileSystem, ErrorCause::CannotOpen, path, "cannot open the file",
                     error);
        }
        return std::make_unique<SourceFile>(std::move(file), path);
    };
    sources.files.changed = [&](std::size_t i, bool grew) {
        throw ArchiveError(ErrorKind::FileSystem, ErrorCause::FileChanged, *merged[i].source,
                           std::string("the file ") + (grew ? "grew" : "became shorter") +
                               " while the archive was updated");
    };
    writeEntries(
        list, archive, std::move(sources),
        [&](std::size_t i) { return placeInside(archive, merged[i].name); }, progress);
}

}  // namespace

UpdateSummary updateArchive(const fs::path& archive, const std::vector<EntryUpdate>& changes,
                            const ProgressCallback& progress) {
    UpdateSummary summary;
    EntrySources sources;
    // The reader is closed before the new archive replaces the old one.
    UpdatePlan plan(entriesKept(archive, changes, sources.from, summary));
    for (const EntryUpdate& change : changes) {
        if (change.source) {
            plan.put(archive, change);
        }
    }
    writeUpdated(archive, plan.inWalkOrder(summary), std::move(sources), progress);
    return summary;
}

}  // namespace tessapak::archive
