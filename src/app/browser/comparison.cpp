#include "app/browser/comparison.h"

#include <QFile>
#include <unordered_set>

#include "app/host_paths.h"
#include "archive/archive_error.h"
#include "archive/compare.h"

namespace tessapak::app::browser {

QString markText(Mark mark) {
    switch (mark) {
        case Mark::Added:
            return QStringLiteral("新增");
        case Mark::Changed:
            return QStringLiteral("已修改");
        case Mark::Removed:
            return QStringLiteral("已删除");
        case Mark::None:
            break;
    }
    return {};
}

std::shared_ptr<const Comparison> Comparison::make(std::shared_ptr<const ArchiveIndex> index,
                                                   const std::filesystem::path& other) {
    const archive::EntryDifference difference = archive::compareEntries(other, index->path());
    auto comparison = std::make_shared<Comparison>();
    comparison->index_ = std::move(index);
    comparison->other_ = other;
    std::error_code error;
    if (!std::filesystem::is_directory(other, error)) {
        comparison->otherArchive_ = std::make_unique<archive::ArchiveReader>(other);
        comparison->otherArchive_->readDirectory();
        const auto& entries = comparison->otherArchive_->entries();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            comparison->otherEntry_[entries[i].Name] = i;  // the last of a name counts
        }
    }

    const auto& entries = comparison->index_->reader().entries();
    comparison->marks_.assign(entries.size(), Mark::None);
    const std::unordered_set<std::u16string> added(difference.added.begin(),
                                                   difference.added.end());
    const std::unordered_set<std::u16string> changed(difference.changed.begin(),
                                                     difference.changed.end());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (added.count(entries[i].Name) != 0) {
            comparison->marks_[i] = Mark::Added;
        } else if (changed.count(entries[i].Name) != 0) {
            comparison->marks_[i] = Mark::Changed;
        }
    }
    comparison->added_ = static_cast<int>(difference.added.size());
    comparison->changed_ = static_cast<int>(difference.changed.size());
    comparison->placeRemoved(difference.removed);
    comparison->markFolders();
    return comparison;
}

void Comparison::placeRemoved(const std::vector<std::u16string>& names) {
    std::unordered_map<std::u16string_view, int> folderOf;
    const auto& folders = index_->folders();
    for (std::size_t i = 0; i < folders.size(); ++i) {
        folderOf.emplace(folders[i].stored, static_cast<int>(i));
    }
    for (const std::u16string& name : names) {
        RemovedFile file;
        file.stored = name;
        file.size = sizeBefore(name);
        // The deepest folder the open archive also has; the rest of the
        // path stays in the row's name.
        for (std::size_t cut = name.find(u'\\'); cut != std::u16string::npos;
             cut = name.find(u'\\', cut + 1)) {
            const auto it = folderOf.find(std::u16string_view(name).substr(0, cut));
            if (it == folderOf.end()) {
                break;
            }
            file.folder = it->second;
        }
        QString path;
        for (std::size_t from = 0; from <= name.size();) {
            std::size_t cut = name.find(u'\\', from);
            if (cut == std::u16string::npos) {
                cut = name.size();
            }
            if (from != 0) {
                path += u'/';
            }
            path += shownPart(std::u16string_view(name).substr(from, cut - from));
            from = cut + 1;
        }
        file.path = path;
        removed_.push_back(std::move(file));
    }
}

void Comparison::markFolders() {
    const auto& folders = index_->folders();
    folderMarked_.assign(folders.size(), 0);
    const auto markUp = [&](int folder) {
        for (; folder >= 0 && folderMarked_[static_cast<std::size_t>(folder)] == 0;
             folder = folders[static_cast<std::size_t>(folder)].parent) {
            folderMarked_[static_cast<std::size_t>(folder)] = 1;
        }
    };
    for (std::size_t folder = 0; folder < folders.size(); ++folder) {
        for (const int entry : folders[folder].files) {
            if (marks_[static_cast<std::size_t>(entry)] != Mark::None) {
                markUp(static_cast<int>(folder));
                break;
            }
        }
    }
    for (const RemovedFile& file : removed_) {
        markUp(file.folder);
    }
}

QString Comparison::otherName() const {
    return fromHostPath(other_.filename().empty() ? other_.parent_path().filename()
                                                  : other_.filename());
}

QString Comparison::summary() const {
    if (added_ == 0 && changed_ == 0 && removed_.empty()) {
        return QStringLiteral("两者相同");
    }
    return QStringLiteral("新增 %1 个，删除 %2 个，修改 %3 个")
        .arg(added_)
        .arg(removed_.size())
        .arg(changed_);
}

qint64 Comparison::sizeBefore(const std::u16string& stored) const {
    if (otherArchive_) {
        const auto it = otherEntry_.find(stored);
        return it == otherEntry_.end() ? -1 : otherArchive_->entries()[it->second].DataSize;
    }
    QString relative = QString::fromStdU16String(stored);
    relative.replace(u'\\', u'/');
    std::error_code error;
    const auto size = std::filesystem::file_size(other_ / toHostPath(relative), error);
    return error ? -1 : static_cast<qint64>(size);
}

QByteArray Comparison::readBefore(const std::u16string& stored, qint64 limit) const {
    if (otherArchive_) {
        const auto it = otherEntry_.find(stored);
        if (it == otherEntry_.end()) {
            archive::failWith(archive::ErrorKind::FileSystem, archive::ErrorCause::CannotOpen,
                              other_, "the entry is not in this archive");
        }
        return readEntryStart(*otherArchive_, it->second, limit);
    }
    QString relative = QString::fromStdU16String(stored);
    relative.replace(u'\\', u'/');
    const std::filesystem::path path = other_ / toHostPath(relative);
    QFile file(fromHostPath(path));
    if (!file.open(QIODevice::ReadOnly)) {
        archive::failWith(archive::ErrorKind::FileSystem, archive::ErrorCause::CannotOpen, path,
                          file.errorString().toStdString());
    }
    return file.read(limit);
}

}  // namespace tessapak::app::browser
