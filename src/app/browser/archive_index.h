#pragma once

#include <QByteArray>
#include <QString>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/unpack.h"

namespace tessapak::app::browser {

// One folder's or file's name as the views show it: control characters,
// bidi overrides and over-long names escaped.
QString shownPart(std::u16string_view storedPart);

// The first limit bytes of an entry (all of a smaller one). Throws
// archive::ArchiveError.
QByteArray readEntryStart(const archive::ArchiveReader& reader, std::size_t entry, qint64 limit);

// An archive opened for looking inside: the engine's reader with its
// directory read and checked, and a folder tree over its entries. Holds the
// entries' names and sizes only, never their data.
class ArchiveIndex {
  public:
    // Throws archive::ArchiveError.
    static std::shared_ptr<const ArchiveIndex> open(const std::filesystem::path& path);

    struct Folder {
        QString name;           // shown form
        QString path;           // shown form, "/" between folders, "" for the top
        std::u16string stored;  // as stored, "\" between folders
        int parent = -1;
        int row = 0;  // among the parent's folders
        std::vector<int> folders;
        std::vector<int> files;  // entries, in archive order
    };

    const archive::ArchiveReader& reader() const { return *reader_; }
    const std::filesystem::path& path() const { return reader_->path(); }
    const std::vector<Folder>& folders() const { return folders_; }
    int entryCount() const { return static_cast<int>(names_.size()); }
    const QString& fileName(int entry) const { return names_[static_cast<std::size_t>(entry)]; }
    // Shown path inside the archive, "/" between folders.
    const QString& filePath(int entry) const { return paths_[static_cast<std::size_t>(entry)]; }
    qint64 size(int entry) const;
    qint64 totalBytes() const { return totalBytes_; }

  private:
    std::unique_ptr<archive::ArchiveReader> reader_;
    std::vector<Folder> folders_;  // the top is folders_[0]
    std::vector<QString> names_;
    std::vector<QString> paths_;
    qint64 totalBytes_ = 0;
};

}  // namespace tessapak::app::browser
