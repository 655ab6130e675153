#include "app/browser/archive_model.h"

#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QStyle>
#include <algorithm>
#include <iterator>
#include <unordered_map>

#include "app/browser/thumbnail_cache.h"
#include "app/host_paths.h"
#include "archive/display_text.h"

namespace tessapak::app::browser {

namespace {

// Dark enough to read on a light background; the marks' words carry the meaning.
const QColor kAddedColour(0x1a, 0x7f, 0x37);
const QColor kChangedColour(0x9a, 0x50, 0x00);

// The style loads an icon's pictures anew on every call, and a view asks for
// one per row it measures: with many folders that was most of opening an
// archive. Views live on the GUI thread only.
QIcon styleIcon(QStyle::StandardPixmap which) {
    static const QStyle* madeBy = nullptr;
    static std::unordered_map<int, QIcon> icons;
    const QStyle* style = QApplication::style();
    if (style != madeBy) {
        icons.clear();
        madeBy = style;
    }
    auto [place, added] = icons.try_emplace(static_cast<int>(which));
    if (added) {
        place->second = style->standardIcon(which);
    }
    return place->second;
}

}  // namespace

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
    const int number = folderAt(index);
    const auto& folder = index_->folders()[static_cast<std::size_t>(number)];
    const bool marked = comparison_ && comparison_->folderMarked(number);
    switch (role) {
        case Qt::DisplayRole:
            // In words too, for screen readers and for anyone who tells no colours apart.
            return marked ? folder.name + QStringLiteral("（含差异）") : folder.name;
        case Qt::ForegroundRole:
            return marked ? QVariant(kChangedColour) : QVariant();
        case Qt::ToolTipRole:
            return folder.path.isEmpty() ? folder.name : folder.path;
        case Qt::DecorationRole:
            return styleIcon(folder.parent < 0 ? QStyle::SP_DriveHDIcon : QStyle::SP_DirIcon);
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

void FolderTreeModel::setComparison(std::shared_ptr<const Comparison> comparison) {
    // Told per folder, which costs the tree a look at each: not for nothing.
    const bool marksMayChange = comparison_ != nullptr || comparison != nullptr;
    comparison_ = std::move(comparison);
    if (!marksMayChange) {
        return;
    }
    for (int folder = 0; folder < static_cast<int>(index_->folders().size()); ++folder) {
        const QModelIndex cell = indexOf(folder);
        emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::ForegroundRole});
    }
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

void FileListModel::setComparison(std::shared_ptr<const Comparison> comparison) {
    comparison_ = std::move(comparison);
    rebuild();
}

void FileListModel::setOnlyDifferences(bool only) {
    onlyDifferences_ = only;
    rebuild();
}

bool FileListModel::listed(int entry) const {
    return !onlyDifferences_ || !comparison_ || comparison_->mark(entry) != Mark::None;
}

void FileListModel::rebuild() {
    beginResetModel();
    rows_.clear();
    rowOf_.clear();
    const auto& folder = index_->folders()[static_cast<std::size_t>(folder_)];
    const QString prefix = folder.path.isEmpty() ? QString() : folder.path + u'/';
    if (filter_.isEmpty()) {
        std::copy_if(folder.files.begin(), folder.files.end(), std::back_inserter(rows_),
                     [this](int entry) { return listed(entry); });
    } else {
        for (int entry = 0; entry < index_->entryCount(); ++entry) {
            const QString& path = index_->filePath(entry);
            if (listed(entry) && path.startsWith(prefix) &&
                QStringView(path).mid(prefix.size()).contains(filter_, Qt::CaseInsensitive)) {
                rows_.push_back(entry);
            }
        }
    }
    addRemovedRows(prefix);
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        rowOf_.insert(rows_[row], static_cast<int>(row));
    }
    endResetModel();
}

// After the open archive's own files, as they have no place in its order.
void FileListModel::addRemovedRows(const QString& prefix) {
    if (!comparison_) {
        return;
    }
    const auto& removed = comparison_->removed();
    for (std::size_t n = 0; n < removed.size(); ++n) {
        const bool here = filter_.isEmpty() ? removed[n].folder == folder_
                                            : removed[n].path.startsWith(prefix) &&
                                                  QStringView(removed[n].path)
                                                      .mid(prefix.size())
                                                      .contains(filter_, Qt::CaseInsensitive);
        if (here) {
            rows_.push_back(-1 - static_cast<int>(n));
        }
    }
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
    if (parent.isValid()) {
        return 0;
    }
    return comparison_ ? ColumnCount : MarkColumn;
}

QString FileListModel::listedName(const QString& path) const {
    const QString& folder = index_->folders()[static_cast<std::size_t>(folder_)].path;
    return path.mid(folder.isEmpty() ? 0 : folder.size() + 1);
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const int row = rows_[static_cast<std::size_t>(index.row())];
    if (!comparison_) {
        return entryData(row, index.column(), role);
    }
    const Mark mark = row < 0 ? Mark::Removed : comparison_->mark(row);
    const auto plain = [&](int column, int plainRole) {
        return row < 0 ? removedData(-1 - row, column, plainRole)
                       : entryData(row, column, plainRole);
    };
    const bool named = index.column() == NameColumn && mark != Mark::None;
    switch (role) {
        case Qt::DisplayRole:
            if (index.column() == MarkColumn) {
                return markText(mark);
            }
            // The thumbnails show only the name, so the mark goes with it there.
            if (named && thumbnailsShown_) {
                return plain(NameColumn, role).toString() + QStringLiteral("（") + markText(mark) +
                       QStringLiteral("）");
            }
            break;
        case Qt::AccessibleTextRole:
            if (named) {
                return plain(NameColumn, Qt::DisplayRole).toString() + QStringLiteral("，") +
                       markText(mark);
            }
            break;
        case SortRole:
            if (index.column() == MarkColumn) {
                return markText(mark);
            }
            break;
        case Qt::ForegroundRole:
            switch (mark) {
                case Mark::Added:
                    return kAddedColour;
                case Mark::Changed:
                    return kChangedColour;
                case Mark::Removed:
                    return QApplication::palette().color(QPalette::Disabled, QPalette::Text);
                case Mark::None:
                    break;
            }
            break;
        default:
            break;
    }
    return plain(index.column(), role);
}

QVariant FileListModel::entryData(int entry, int column, int role) const {
    const QString& name = index_->fileName(entry);
    switch (role) {
        case Qt::DisplayRole:
            switch (column) {
                case NameColumn:
                    return filter_.isEmpty() ? name : listedName(index_->filePath(entry));
                case SizeColumn:
                    return sizeText(index_->size(entry));
                case TypeColumn:
                    return typeText(name);
                default:
                    return {};
            }
        case Qt::TextAlignmentRole:
            if (column == SizeColumn) {
                return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
            }
            return {};
        case Qt::ToolTipRole:
            return index_->filePath(entry);
        case Qt::DecorationRole:
            if (column != NameColumn) {
                return {};
            }
            if (thumbnailsShown_ && thumbnails_ != nullptr && kindOf(name) == FileKind::Picture) {
                const QImage thumbnail = thumbnails_->thumbnail(entry);
                if (!thumbnail.isNull()) {
                    return thumbnail;
                }
            }
            return styleIcon(QStyle::SP_FileIcon);
        case EntryRole:
            return entry;
        case RemovedRole:
            return -1;
        case SortRole:
            switch (column) {
                case SizeColumn:
                    return index_->size(entry);
                case TypeColumn:
                    return typeText(name);
                default:
                    return entryData(entry, column, Qt::DisplayRole).toString().toLower();
            }
        default:
            return {};
    }
}

// A file only the other version has: greyed and in italics, never an entry.
QVariant FileListModel::removedData(int removed, int column, int role) const {
    const Comparison::RemovedFile& file = comparison_->removed()[static_cast<std::size_t>(removed)];
    const QString name = listedName(file.path);
    switch (role) {
        case Qt::DisplayRole:
            switch (column) {
                case NameColumn:
                    return name;
                case SizeColumn:
                    return file.size < 0 ? QVariant() : QVariant(sizeText(file.size));
                case TypeColumn:
                    return typeText(name);
                default:
                    return {};
            }
        case Qt::FontRole: {
            QFont font;
            font.setItalic(true);
            return font;
        }
        case Qt::TextAlignmentRole:
            if (column == SizeColumn) {
                return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
            }
            return {};
        case Qt::ToolTipRole:
            return file.path +
                   QStringLiteral("\n只在 %1 中（已删除）").arg(comparison_->otherName());
        case Qt::DecorationRole:
            return column == NameColumn ? QVariant(styleIcon(QStyle::SP_FileIcon)) : QVariant();
        case EntryRole:
            return -1;
        case RemovedRole:
            return removed;
        case SortRole:
            if (column == SizeColumn) {
                return file.size;
            }
            return removedData(removed, column, Qt::DisplayRole).toString().toLower();
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
        case MarkColumn:
            return QStringLiteral("比较");
        default:
            return {};
    }
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    const Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (!index.isValid() || index.row() >= rowCount() ||
        rows_[static_cast<std::size_t>(index.row())] < 0) {
        return flags;  // a removed file cannot be dragged out
    }
    return flags | Qt::ItemIsDragEnabled;
}

}  // namespace tessapak::app::browser
