#pragma once

#include <QAbstractItemModel>
#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/browser/archive_index.h"
#include "app/browser/comparison.h"

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

    // Folders holding a difference show it after their name; null ends it.
    void setComparison(std::shared_ptr<const Comparison> comparison);

  private:
    std::shared_ptr<const ArchiveIndex> index_;
    std::shared_ptr<const Comparison> comparison_;
};

// The files of one folder (name, size, type); with a filter, every file
// below that folder whose path inside it contains the filter text. While a
// comparison is set, a fourth column marks each file, and the files only the
// other version has are listed too, greyed, as rows without an entry.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { NameColumn, SizeColumn, TypeColumn, MarkColumn, ColumnCount };
    static constexpr int EntryRole = Qt::UserRole + 1;  // the entry's number, -1 for none
    static constexpr int SortRole = Qt::UserRole + 2;
    static constexpr int RemovedRole = Qt::UserRole + 3;  // in Comparison::removed(), or -1

    FileListModel(std::shared_ptr<const ArchiveIndex> index, ThumbnailCache* thumbnails,
                  QObject* parent = nullptr);

    void setFolder(int folder);
    void setFilter(const QString& text);
    // Pictures' decorations are thumbnails while the thumbnail view shows.
    void setThumbnailsShown(bool shown);
    void setComparison(std::shared_ptr<const Comparison> comparison);
    // Only the marked files, while comparing.
    void setOnlyDifferences(bool only);

    int folder() const { return folder_; }
    int entryAt(int row) const { return std::max(rows_[static_cast<std::size_t>(row)], -1); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    void rebuild();
    void addRemovedRows(const QString& prefix);
    bool listed(int entry) const;
    // A shown path relative to the listed folder.
    QString listedName(const QString& path) const;
    QVariant entryData(int entry, int column, int role) const;
    QVariant removedData(int removed, int column, int role) const;
    void thumbnailReady(int entry);

    std::shared_ptr<const ArchiveIndex> index_;
    ThumbnailCache* thumbnails_;
    int folder_ = 0;
    QString filter_;
    bool thumbnailsShown_ = false;
    std::shared_ptr<const Comparison> comparison_;
    bool onlyDifferences_ = false;
    std::vector<int> rows_;  // entries, and -1 - n for the removed file n
    QHash<int, int> rowOf_;
};

}  // namespace tessapak::app::browser
