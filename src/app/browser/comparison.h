#pragma once

#include <QByteArray>
#include <QString>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/browser/archive_index.h"

namespace tessapak::app::browser {

enum class Mark { None, Added, Changed, Removed };
// 新增 / 已修改 / 已删除; empty for None.
QString markText(Mark mark);

// The open archive compared with another version of the skin (an archive or
// a folder): the other is the earlier one, so "added" is only in the open
// archive. Made once on a worker and never changed, so the views and the
// preview's workers share it freely.
class Comparison {
  public:
    // A file only the other version has. It is listed in the deepest folder
    // of the open archive that holds its path, named by the rest of it.
    struct RemovedFile {
        std::u16string stored;
        QString path;  // shown form, "/" between folders
        int folder = 0;
        qint64 size = 0;
    };

    // Reads both sides; throws archive::ArchiveError.
    static std::shared_ptr<const Comparison> make(std::shared_ptr<const ArchiveIndex> index,
                                                  const std::filesystem::path& other);

    const ArchiveIndex& index() const { return *index_; }
    // The other version's file or folder name, and its path.
    QString otherName() const;
    const std::filesystem::path& otherPath() const { return other_; }
    Mark mark(int entry) const { return marks_[static_cast<std::size_t>(entry)]; }
    // A folder holding a marked file anywhere below it.
    bool folderMarked(int folder) const { return folderMarked_[static_cast<std::size_t>(folder)]; }
    const std::vector<RemovedFile>& removed() const { return removed_; }
    int added() const { return added_; }
    int changed() const { return changed_; }
    // 新增 3 个，删除 1 个，修改 2 个 / 两者相同
    QString summary() const;

    // The other version's bytes of a file, at most limit of them from its
    // start. Safe on any thread; throws archive::ArchiveError.
    QByteArray readBefore(const std::u16string& stored, qint64 limit) const;
    // Its size there, -1 when it has none of that name.
    qint64 sizeBefore(const std::u16string& stored) const;

  private:
    void placeRemoved(const std::vector<std::u16string>& names);
    void markFolders();

    std::shared_ptr<const ArchiveIndex> index_;
    std::filesystem::path other_;
    std::unique_ptr<archive::ArchiveReader> otherArchive_;  // none for a folder
    std::unordered_map<std::u16string, std::size_t> otherEntry_;
    std::vector<Mark> marks_;
    std::vector<char> folderMarked_;
    std::vector<RemovedFile> removed_;
    int added_ = 0;
    int changed_ = 0;
};

}  // namespace tessapak::app::browser
