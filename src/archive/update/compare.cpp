#include "archive/compare.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

#include "archive/archive_error.h"
#include "archive/entry_reader.h"
#include "archive/folder_walk.h"
#include "archive/format/names.h"
#include "archive/host/host_fs.h"
#include "archive/unpack.h"

namespace tessapak::archive {

namespace {

namespace fs = std::filesystem;

// Two pieces of this size are held at a time, whatever the entries hold.
constexpr std::size_t kPieceSize = std::size_t{256} << 10;

struct Item {
    const std::u16string* name;
    std::int64_t size;
    std::size_t index;  // in the archive's entries or the folder's list
};

// One version of a skin: an archive or a folder walked as a pack walks it.
class Version {
  public:
    explicit Version(const fs::path& path) : path_(path) {
        std::error_code error;
        folder_ = host::statusOf(path, host::Links::Follow, error).kind == host::Kind::Folder;
        if (folder_) {
            ListFiles(path, list_);
            for (std::size_t i = 0; i < list_.FileNames.size(); ++i) {
                items_.push_back({&list_.FileNames[i], list_.FileSizes[i], i});
            }
            return;
        }
        reader_ = std::make_unique<ArchiveReader>(path);
        reader_->readDirectory();
        entries_ = std::make_unique<EntryReader>(*reader_);
        // Of several entries of one name the last counts, at its own place.
        const std::vector<RdbEntry>& entries = reader_->entries();
        std::unordered_map<std::u16string_view, std::size_t> last;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            last[entries[i].Name] = i;
        }
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (last[entries[i].Name] == i) {
                items_.push_back({&entries[i].Name, entries[i].DataSize, i});
            }
        }
    }

    const std::vector<Item>& items() const { return items_; }

    // Reads an item's bytes piece by piece, from the start.
    class Stream {
      public:
        Stream(const Version& version, const Item& item) : version_(version), item_(item) {
            if (version_.folder_) {
                path_ = version_.path_ / *hostPathFor(*item.name);
                std::error_code error;
                file_ = host::openForReading(path_, error);
                if (error) {
                    if (host::isNotFound(error)) {
                        changed("the file vanished after the folder was listed");
                    }
                    failWith(ErrorKind::FileSystem, ErrorCause::CannotOpen, path_,
                             "cannot open the file", error);
                }
            }
        }

        // Exactly min(size, what is left) bytes.
        std::size_t read(unsigned char* buffer, std::size_t size) {
            const auto want = static_cast<std::size_t>(
                std::min<std::int64_t>(item_.size - done_, static_cast<std::int64_t>(size)));
            std::size_t got = 0;
            if (version_.folder_) {
                std::error_code error;
                const std::int64_t n = file_.read(buffer, want, error);
                if (n < 0) {
                    failWith(ErrorKind::FileSystem, ErrorCause::CannotRead, path_,
                             "cannot read the file", error);
                }
                got = static_cast<std::size_t>(n);
                if (got < want) {
                    changed("the file became shorter after the folder was listed");
                }
            } else {
                got = version_.entries_->readPart(item_.index, done_, buffer, want);
            }
            done_ += static_cast<std::int64_t>(got);
            return got;
        }

        // A listed file that still holds more than its listed size grew
        // since it was listed; its end was never compared.
        void checkEnd() {
            if (!version_.folder_) {
                return;
            }
            unsigned char extra = 0;
            std::error_code error;
            if (file_.read(&extra, 1, error) > 0) {
                changed("the file grew after the folder was listed");
            }
        }

      private:
        [[noreturn]] void changed(const char* detail) const {
            throw ArchiveError(ErrorKind::FileSystem, ErrorCause::FileChanged, path_, detail);
        }

        const Version& version_;
        const Item& item_;
        fs::path path_;
        host::File file_;
        std::int64_t done_ = 0;
    };

  private:
    fs::path path_;
    bool folder_ = false;
    PackList list_;
    std::unique_ptr<ArchiveReader> reader_;
    std::unique_ptr<EntryReader> entries_;
    std::vector<Item> items_;
};

bool sameBytes(const Version& before, const Item& a, const Version& after, const Item& b,
               unsigned char* pieceA, unsigned char* pieceB) {
    Version::Stream first(before, a);
    Version::Stream second(after, b);
    for (std::int64_t left = a.size; left > 0;) {
        const std::size_t gotA = first.read(pieceA, kPieceSize);
        const std::size_t gotB = second.read(pieceB, kPieceSize);
        if (gotA == 0 || !std::equal(pieceA, pieceA + gotA, pieceB, pieceB + gotB)) {
            return false;
        }
        left -= static_cast<std::int64_t>(gotA);
    }
    first.checkEnd();
    second.checkEnd();
    return true;
}

}  // namespace

EntryDifference compareEntries(const fs::path& before, const fs::path& after) {
    const Version old(before);
    const Version now(after);
    std::unordered_map<std::u16string_view, const Item*> oldItems;
    for (const Item& item : old.items()) {
        oldItems.emplace(*item.name, &item);
    }
    const auto pieceA = std::make_unique<unsigned char[]>(kPieceSize);
    const auto pieceB = std::make_unique<unsigned char[]>(kPieceSize);
    EntryDifference difference;
    std::unordered_map<std::u16string_view, bool> present;
    for (const Item& item : now.items()) {
        const auto found = oldItems.find(*item.name);
        if (found == oldItems.end()) {
            difference.added.push_back(*item.name);
            continue;
        }
        present.emplace(*item.name, true);
        const Item& was = *found->second;
        if (was.size != item.size || !sameBytes(old, was, now, item, pieceA.get(), pieceB.get())) {
            difference.changed.push_back(*item.name);
        } else {
            ++difference.unchanged;
        }
    }
    for (const Item& item : old.items()) {
        if (!present.contains(*item.name)) {
            difference.removed.push_back(*item.name);
        }
    }
    return difference;
}

}  // namespace tessapak::archive
