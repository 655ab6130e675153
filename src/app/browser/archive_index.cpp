#include "app/browser/archive_index.h"

#include <algorithm>
#include <unordered_map>

#include "app/host_paths.h"
#include "archive/display_text.h"
#include "archive/entry_reader.h"

namespace tessapak::app::browser {

QString shownPart(std::u16string_view storedPart) {
    // Printable ASCII and the CJK blocks are shown as they are; most names
    // hold nothing else, and opening 100,000 of them must stay quick.
    const bool plain =
        storedPart.size() <= archive::kDisplayLimit &&
        std::all_of(storedPart.begin(), storedPart.end(), [](char16_t c) {
            return (c >= 0x20 && c < 0x7f && c != u'\\') || (c >= 0x3000 && c < 0xd800);
        });
    if (plain) {
        return QString(reinterpret_cast<const QChar*>(storedPart.data()),
                       static_cast<qsizetype>(storedPart.size()));
    }
    return QString::fromStdString(archive::displayName(std::u16string(storedPart)));
}

QByteArray readEntryStart(const archive::ArchiveReader& reader, std::size_t entry, qint64 limit) {
    const archive::EntryReader entries(reader);
    QByteArray bytes(
        static_cast<qsizetype>(std::min<qint64>(reader.entries()[entry].DataSize, limit)), '\0');
    qsizetype done = 0;
    while (done < bytes.size()) {
        const std::size_t got = entries.readPart(entry, done, bytes.data() + done,
                                                 static_cast<std::size_t>(bytes.size() - done));
        if (got == 0) {
            break;
        }
        done += static_cast<qsizetype>(got);
    }
    bytes.truncate(done);
    return bytes;
}

std::shared_ptr<const ArchiveIndex> ArchiveIndex::open(const std::filesystem::path& path) {
    auto index = std::make_shared<ArchiveIndex>();
    index->reader_ = std::make_unique<archive::ArchiveReader>(path);
    index->reader_->readDirectory();
    const auto& entries = index->reader_->entries();
    auto& folders = index->folders_;
    folders.push_back({fromHostPath(path.filename()), QString(), {}, -1, 0, {}, {}});

    std::unordered_map<std::u16string_view, int> folderOf{{std::u16string_view(), 0}};
    // The folder of a stored folder path, made with its parents when new.
    const auto folderFor = [&](auto& self, std::u16string_view key) -> int {
        if (const auto it = folderOf.find(key); it != folderOf.end()) {
            return it->second;
        }
        const std::size_t cut = key.rfind(u'\\');
        const int parent = cut == std::u16string_view::npos ? 0 : self(self, key.substr(0, cut));
        const QString name =
            shownPart(cut == std::u16string_view::npos ? key : key.substr(cut + 1));
        const int number = static_cast<int>(folders.size());
        const QString& above = folders[static_cast<std::size_t>(parent)].path;
        folders.push_back({name,
                           above.isEmpty() ? name : above + u'/' + name,
                           std::u16string(key),
                           parent,
                           0,
                           {},
                           {}});
        folders[static_cast<std::size_t>(parent)].folders.push_back(number);
        folderOf.emplace(key, number);
        return number;
    };

    index->names_.reserve(entries.size());
    index->paths_.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::u16string_view name = entries[i].Name;
        const std::size_t cut = name.rfind(u'\\');
        const int folder =
            cut == std::u16string_view::npos ? 0 : folderFor(folderFor, name.substr(0, cut));
        const QString file =
            shownPart(cut == std::u16string_view::npos ? name : name.substr(cut + 1));
        const QString& above = folders[static_cast<std::size_t>(folder)].path;
        index->paths_.push_back(above.isEmpty() ? file : above + u'/' + file);
        index->names_.push_back(file);
        folders[static_cast<std::size_t>(folder)].files.push_back(static_cast<int>(i));
        index->totalBytes_ += entries[i].DataSize;
    }
    for (auto& folder : folders) {
        std::sort(folder.folders.begin(), folder.folders.end(), [&](int a, int b) {
            return folders[static_cast<std::size_t>(a)].name.compare(
                       folders[static_cast<std::size_t>(b)].name, Qt::CaseInsensitive) < 0;
        });
        for (std::size_t row = 0; row < folder.folders.size(); ++row) {
            folders[static_cast<std::size_t>(folder.folders[row])].row = static_cast<int>(row);
        }
    }
    return index;
}

qint64 ArchiveIndex::size(int entry) const {
    return reader_->entries()[static_cast<std::size_t>(entry)].DataSize;
}

}  // namespace tessapak::app::browser
