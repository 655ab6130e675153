#pragma once

#include <QAbstractItemModel>
#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/browser/archive_index.h"

namespace tessapak::app::browser {

class ThumbnailCache;

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
