#include "app/browser/archive_model.h"

#include <QApplication>
#include <QFileInfo>
#include <QStyle>
#include <algorithm>
#include <unordered_map>

#include "app/browser/thumbnail_cache.h"
#include "app/host_paths.h"
#include "archive/display_text.h"

namespace tessapak::app::browser {

FileKind kindOf(const QString& name) {
    const QString suffix = QFileInfo(name).suffix().toLower();
    static const QStringList pictures{"png", "gif", "bmp", "jpg", "jpeg", "ico"};
    static const QStringList texts{"txt", "ini",  "xml", "json", "css", "htm", "html", "log",
                                   "cfg", "conf", "inf", "lua",  "js",  "md",  "csv",  "skin"};
    if (pictures.contains(suffix)) {
        return FileKind::Picture;
    }
    if (texts.contains(suffix)) {
        return FileKind::Text;
    }
    return FileKind::Other;
}

QString typeText(const QString& name) {
    const QString suffix = QFileInfo(name).suffix();
    const QString upper = suffix.toUpper();
    switch (kindOf(name)) {
        case FileKind::Picture:
            if (upper == QLatin1String("ICO")) {
                return QStringLiteral("ICO 图标");
            }
            return (upper == QLatin1String("JPG") ? QStringLiteral("JPEG") : upper) +
                   QStringLiteral(" 图片");
        case FileKind::Text:
            return upper + QStringLiteral(" 文本文件");
        case FileKind::Other:
            break;
    }
    return suffix.isEmpty() ? QStringLiteral("文件") : upper + QStringLiteral(" 文件");
}

QString sizeText(qint64 bytes) {
    if (bytes < 1024) {
        return QString::number(bytes) + QStringLiteral(" 字节");
    }
    static const char* const kUnits[] = {"KB", "MB", "GB"};
    double value = static_cast<double>(bytes) / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 2) {
        value /= 1024;
        ++unit;
    }
    return QString::number(value, 'f', 1) + u' ' + QLatin1String(kUnits[unit]);
}

FolderTreeModel::FolderTreeModel(std::shared_ptr<const ArchiveIndex> index, QObject* parent)
    : QAbstractItemModel(parent), index_(std::move(index)) {}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) {
        return {};
    }
    if (!parent.isValid()) {
        return row == 0 ? createIndex(0, 0, quintptr{0}) : QModelIndex();
    }
    const auto& children = index_->folders()[static_cast<std::size_t>(folderAt(parent))].folders;
    if (row >= static_cast<int>(children.size())) {
        return {};
    }
    return createIndex(row, 0, static_cast<quintptr>(children[static_cast<std::size_t>(row)]));
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) {
        return {};
    }
    const int parent = index_->folders()[static_cast<std::size_t>(folderAt(child))].parent;
    return parent < 0 ? QModelIndex() : indexOf(parent);
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) {
        return 1;
    }
    return static_cast<int>(
        index_->folders()[static_cast<std::size_t>(folderAt(parent))].folders.size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const auto& folder = index_->folders()[static_cast<std::size_t>(folderAt(index))];
    switch (role) {
        case Qt::DisplayRole:
            return folder.name;
        case Qt::ToolTipRole:
            return folder.path.isEmpty() ? folder.name : folder.path;
        case Qt::DecorationRole:
            return QApplication::style()->standardIcon(folder.parent < 0 ? QStyle::SP_DriveHDIcon
                                                                         : QStyle::SP_DirIcon);
        default:
            return {};
    }
}

QVariant FolderTreeModel::headerData(int, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        return QStringLiteral("文件夹");
    }
    return {};
}

int FolderTreeModel::folderAt(const QModelIndex& index) const {
    return index.isValid() ? static_cast<int>(index.internalId()) : 0;
}

QModelIndex FolderTreeModel::indexOf(int folder) const {
    const auto& f = index_->folders()[static_cast<std::size_t>(folder)];
    return createIndex(f.parent < 0 ? 0 : f.row, 0, static_cast<quintptr>(folder));
}

FileListModel::FileListModel(std::shared_ptr<const ArchiveIndex> index, ThumbnailCache* thumbnails,
                             QObject* parent)
    : QAbstractTableModel(parent), index_(std::move(index)), thumbnails_(thumbnails) {
    if (thumbnails_ != nullptr) {
        connect(thumbnails_, &ThumbnailCache::ready, this, &FileListModel::thumbnailReady);
    }
    rebuild();
}

void FileListModel::setFolder(int folder) {
    folder_ = folder;
    rebuild();
}

void FileListModel::setFilter(const QString& text) {
    filter_ = text.trimmed();
    rebuild();
}

void FileListModel::setThumbnailsShown(bool shown) {
    thumbnailsShown_ = shown;
    if (!rows_.empty()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
    }
}

void FileListModel::rebuild() {
    beginResetModel();
    rows_.clear();
    rowOf_.clear();
    const auto& folder = index_->folders()[static_cast<std::size_t>(folder_)];
    if (filter_.isEmpty()) {
        rows_ = folder.files;
    } else {
        const QString prefix = folder.path.isEmpty() ? QString() : folder.path + u'/';
        for (int entry = 0; entry < index_->entryCount(); ++entry) {
            const QString& path = index_->filePath(entry);
            if (path.startsWith(prefix) &&
                QStringView(path).mid(prefix.size()).contains(filter_, Qt::CaseInsensitive)) {
                rows_.push_back(entry);
            }
        }
    }
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        rowOf_.insert(rows_[row], static_cast<int>(row));
    }
    endResetModel();
}

void FileListModel::thumbnailReady(int entry) {
    if (const auto it = rowOf_.constFind(entry); it != rowOf_.cend() && thumbnailsShown_) {
        const QModelIndex cell = index(*it, NameColumn);
        emit dataChanged(cell, cell, {Qt::DecorationRole});
    }
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const int entry = entryAt(index.row());
    const QString& name = index_->fileName(entry);
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case NameColumn: {
                    if (filter_.isEmpty()) {
                        return name;
                    }
                    const QString& folder =
                        index_->folders()[static_cast<std::size_t>(folder_)].path;
                    return index_->filePath(entry).mid(folder.isEmpty() ? 0 : folder.size() + 1);
                }
                case SizeColumn:
                    return sizeText(index_->size(entry));
                case TypeColumn:
                    return typeText(name);
                default:
                    return {};
            }
        case Qt::TextAlignmentRole:
            if (index.column() == SizeColumn) {
                return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
            }
            return {};
        case Qt::ToolTipRole:
            return index_->filePath(entry);
        case Qt::DecorationRole:
            if (index.column() != NameColumn) {
                return {};
            }
            if (thumbnailsShown_ && thumbnails_ != nullptr && kindOf(name) == FileKind::Picture) {
                const QImage thumbnail = thumbnails_->thumbnail(entry);
                if (!thumbnail.isNull()) {
                    return thumbnail;
                }
            }
            return QApplication::style()->standardIcon(QStyle::SP_FileIcon);
        case EntryRole:
            return entry;
        case SortRole:
            switch (index.column()) {
                case SizeColumn:
                    return index_->size(entry);
                case TypeColumn:
                    return typeText(name);
                default:
                    return data(index, Qt::DisplayRole).toString().toLower();
            }
        default:
            return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
        case NameColumn:
            return QStringLiteral("名称");
        case SizeColumn:
            return QStringLiteral("大小");
        case TypeColumn:
            return QStringLiteral("类型");
        default:
            return {};
    }
}

}  // namespace tessapak::app::browser
