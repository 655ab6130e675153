#pragma once

#include <QAbstractItemModel>
#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <filesystem>
#include <memory>
#include <vector>

#include "archive/unpack.h"

namespace tessapak::app::browser {

class ThumbnailCache;

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

// What kind of file an entry is, from its name's extension.
enum class FileKind { Picture, Text, Other };
FileKind kindOf(const QString& name);
// The Type column: "PNG 图片", "文本文件", "DLL 文件" ...
QString typeText(const QString& name);
// 1,234 字节 / 12.3 KB ...
QString sizeText(qint64 bytes);

// The archive's folders, its top named after the archive file.
class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT

  public:
    explicit FolderTreeModel(std::shared_ptr<const ArchiveIndex> index, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    int folderAt(const QModelIndex& index) const;
    QModelIndex indexOf(int folder) const;

  private:
    std::shared_ptr<const ArchiveIndex> index_;
};

// The files of one folder (name, size, type); with a filter, every file
// below that folder whose path inside it contains the filter text.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { NameColumn, SizeColumn, TypeColumn, ColumnCount };
    static constexpr int EntryRole = Qt::UserRole + 1;  // the entry's number
    static constexpr int SortRole = Qt::UserRole + 2;

    FileListModel(std::shared_ptr<const ArchiveIndex> index, ThumbnailCache* thumbnails,
                  QObject* parent = nullptr);

    void setFolder(int folder);
    void setFilter(const QString& text);
    // Pictures' decorations are thumbnails while the thumbnail view shows.
    void setThumbnailsShown(bool shown);

    int folder() const { return folder_; }
    int entryAt(int row) const { return rows_[static_cast<std::size_t>(row)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    void rebuild();
    void thumbnailReady(int entry);

    std::shared_ptr<const ArchiveIndex> index_;
    ThumbnailCache* thumbnails_;
    int folder_ = 0;
    QString filter_;
    bool thumbnailsShown_ = false;
    std::vector<int> rows_;
    QHash<int, int> rowOf_;
};

}  // namespace tessapak::app::browser
