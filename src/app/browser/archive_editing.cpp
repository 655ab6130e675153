#include "app/browser/archive_editing.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include "app/browser/archive_index.h"
#include "app/failure_text.h"
#include "app/host_paths.h"
#include "archive/archive_error.h"
#include "archive/display_text.h"
#include "archive/extract_selection.h"
#include "archive/folder_walk.h"

namespace tessapak::app::browser {

namespace {

namespace fs = std::filesystem;

QString shownName(const std::u16string& stored) {
    return QString::fromStdString(archive::displayName(stored));
}

// A stored name below a dropped folder, as a path below that folder.
fs::path hostRelative(const std::u16string& stored) {
    fs::path result;
    for (std::size_t start = 0;;) {
        const std::size_t cut = stored.find(u'\\', start);
        result /= toHostPath(QString::fromStdU16String(stored.substr(start, cut - start)));
        if (cut == std::u16string::npos) {
            return result;
        }
        start = cut + 1;
    }
}

QString summaryText(const archive::UpdateSummary& summary) {
    QStringList parts;
    if (summary.replaced > 0) {
        parts << QStringLiteral("替换 %1 个").arg(summary.replaced);
    }
    if (summary.added > 0) {
        parts << QStringLiteral("添加 %1 个").arg(summary.added);
    }
    if (summary.removed > 0) {
        parts << QStringLiteral("删除 %1 个").arg(summary.removed);
    }
    return QStringLiteral("皮肤包已更新：%1条目，其余 %2 个不变。")
        .arg(parts.join(QStringLiteral("、")))
        .arg(summary.kept);
}

}  // namespace

ArchiveEditor::ArchiveEditor(EditingHost host, QWidget* window)
    : QObject(window),
      host_(std::move(host)),
      window_(window),
      watcher_(new QFileSystemWatcher(this)),
      settle_(new QTimer(this)) {
    asker_ = [this](const QString& text, const QString& detail, const QString& checkBox) {
        return askWithBox(text, detail, checkBox);
    };
    opener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    // Editors write a file in several steps; the last one counts.
    settle_->setSingleShot(true);
    settle_->setInterval(300);
    connect(settle_, &QTimer::timeout, this, &ArchiveEditor::checkEdits);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, [this] {
        rewatch();
        settle_->start();
    });
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
        rewatch();
        settle_->start();
    });
}

ArchiveEditor::~ArchiveEditor() = default;

ArchiveEditor::Stamp ArchiveEditor::stampOf(const fs::path& path) {
    Stamp stamp;
    std::error_code error;
    stamp.size = fs::file_size(path, error);
    if (error) {
        return {};
    }
    stamp.time = fs::last_write_time(path, error);
    stamp.exists = !error;
    return stamp;
}

void ArchiveEditor::archiveOpened(const fs::path& archive) {
    if (archive != archive_) {
        // Saves of another archive's entries must not land in this one.
        for (const Edit& edit : edits_) {
            watcher_->removePath(edit.file);
        }
        if (!watcher_->directories().isEmpty()) {
            watcher_->removePaths(watcher_->directories());
        }
        edits_.clear();
    }
    archive_ = archive;
    stamp_ = stampOf(archive);
}

bool ArchiveEditor::reloadIfChangedOutside() {
    if (stampOf(archive_) == stamp_) {
        return false;
    }
    host_.reload();
    host_.status(QStringLiteral("皮肤包已被其他程序修改，已重新载入。"));
    return true;
}

bool ArchiveEditor::propose(const Proposal& proposal, bool ask, bool* always) {
    if (asking_ || writing_ || host_.busy()) {
        host_.status(QStringLiteral("请等当前的操作结束后再修改皮肤包。"));
        return false;
    }
    asking_ = true;
    bool reloaded = reloadIfChangedOutside();
    for (;;) {
        if (!host_.index()) {
            asking_ = false;
            return false;
        }
        if (ask || reloaded) {
            const QString detail =
                reloaded
                    ? proposal.detail +
                          QStringLiteral("\n\n皮肤包已被其他程序修改，已重新载入，请再确认一次。")
                    : proposal.detail;
            const EditAnswer answer = asker_(proposal.text, detail, proposal.checkBox);
            if (!answer.yes) {
                asking_ = false;
                return false;
            }
            if (always != nullptr) {
                *always = answer.always;
            }
        }
        // The question may have stood open while someone else wrote the file.
        reloaded = reloadIfChangedOutside();
        if (!reloaded) {
            break;
        }
    }
    asking_ = false;
    write(proposal.title, proposal.changes);
    return true;
}

void ArchiveEditor::write(const QString& title, std::vector<archive::EntryUpdate> changes) {
    writing_ = true;
    host_.release();
    auto failed = std::make_shared<bool>(false);
    const fs::path archive = archive_;
    host_.run(
        title,
        [archive, changes = std::move(changes), failed](const auto& progress) {
            try {
                return summaryText(archive::updateArchive(archive, changes, progress));
            } catch (const archive::ArchiveError& error) {
                *failed = true;
                return QStringLiteral("更新失败：%1。皮肤包没有改动。")
                    .arg(describePackFailure(error));
            } catch (const std::bad_alloc&) {
                *failed = true;
                return QStringLiteral("更新失败：内存不足。皮肤包没有改动。");
            }
        },
        [this, title, failed](const QString& summary) {
            writing_ = false;
            host_.reload();
            host_.status(summary);
            if (*failed) {
                QMessageBox::warning(window_, title, summary);
            }
            emit written(summary);
            resume();
        });
}

void ArchiveEditor::editExternally(int entry) {
    const auto index = host_.index();
    if (!index || entry < 0 || entry >= index->entryCount()) {
        return;
    }
    const std::u16string& name = index->reader().entries()[static_cast<std::size_t>(entry)].Name;
    for (const Edit& edit : edits_) {
        // Its file may hold saves not yet written back; opening it again keeps them.
        if (edit.name == name && QFileInfo::exists(edit.file)) {
            open(edit);
            return;
        }
    }
    if (!folder_) {
        folder_ = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                  QStringLiteral("/tessapak-edit-XXXXXX"));
    }
    // One folder per edit: the entry keeps its own name, so that the system
    // knows its type, and two entries of one name in different folders do
    // not meet.
    const QString place = folder_->filePath(QString::number(++made_));
    if (!folder_->isValid() || !QDir().mkpath(place)) {
        QMessageBox::warning(window_, QStringLiteral("无法编辑"),
                             QStringLiteral("无法创建临时文件夹。"));
        return;
    }
    QString file;
    try {
        archive::SelectionOutcome outcome;
        const auto picked = static_cast<std::size_t>(entry);
        archive::extractSelection(index->reader(), {picked}, toHostPath(place), {}, outcome);
        file = fromHostPath(toHostPath(place) / archive::relativeHostPath(index->reader(), picked));
    } catch (const archive::ArchiveError& error) {
        QMessageBox::warning(window_, QStringLiteral("无法编辑"), describePackFailure(error));
        return;
    }
    edits_.push_back({name, file, stampOf(toHostPath(file)), false});
    watcher_->addPath(file);
    watcher_->addPath(QFileInfo(file).absolutePath());
    open(edits_.back());
}

void ArchiveEditor::open(const Edit& edit) {
    if (opener_(QUrl::fromLocalFile(edit.file))) {
        host_.status(QStringLiteral("已用默认程序打开“%1”，保存后可以更新皮肤包。")
                         .arg(shownName(edit.name)));
    } else {
        QMessageBox::warning(window_, QStringLiteral("无法编辑"),
                             QStringLiteral("系统里没有能打开“%1”的程序。\n它已写到 %2")
                                 .arg(shownName(edit.name), QDir::toNativeSeparators(edit.file)));
    }
}

void ArchiveEditor::rewatch() {
    // Many editors save by writing a new file and renaming it over the old
    // one, which ends the watch on the old one.
    const QStringList watched = watcher_->files();
    for (const Edit& edit : edits_) {
        if (!watched.contains(edit.file) && QFileInfo::exists(edit.file)) {
            watcher_->addPath(edit.file);
        }
    }
}

void ArchiveEditor::resume() {
    if (waiting_) {
        settle_->start();
    }
}

void ArchiveEditor::checkEdits() {
    waiting_ = asking_ || writing_ || host_.busy();
    if (waiting_) {
        return;  // resume() looks again
    }
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        const Stamp now = stampOf(toHostPath(edits_[i].file));
        if (!now.exists || now == edits_[i].seen) {
            continue;
        }
        edits_[i].seen = now;
        const Edit edit = edits_[i];
        Proposal proposal;
        proposal.title = QStringLiteral("更新皮肤包");
        proposal.text = QStringLiteral("一个条目已修改，更新皮肤包？");
        proposal.detail = QStringLiteral("“%1”已在其他程序中保存。").arg(shownName(edit.name));
        proposal.checkBox = QStringLiteral("以后保存时自动更新，不再询问");
        proposal.changes = {{edit.name, toHostPath(edit.file)}};
        bool always = false;
        const bool writing = propose(proposal, !edit.automatic, &always);
        if (always && i < edits_.size() && edits_[i].name == edit.name) {
            edits_[i].automatic = true;
        }
        if (!writing) {
            settle_->start();  // other entries may have been saved meanwhile
        }
        return;  // one at a time; the write's end looks again
    }
}

QString ArchiveEditor::editedFile(const std::u16string& name) const {
    for (const Edit& edit : edits_) {
        if (edit.name == name) {
            return edit.file;
        }
    }
    return {};
}

void ArchiveEditor::replaceEntry(int entry, const QString& file) {
    const auto index = host_.index();
    if (!index || entry < 0 || entry >= index->entryCount()) {
        return;
    }
    const std::u16string& name = index->reader().entries()[static_cast<std::size_t>(entry)].Name;
    Proposal proposal;
    proposal.title = QStringLiteral("替换条目");
    proposal.text =
        QStringLiteral("用“%1”替换条目“%2”？").arg(QFileInfo(file).fileName(), shownName(name));
    proposal.detail = QStringLiteral("皮肤包会立即重写，其他条目保持不变。");
    proposal.changes = {{name, toHostPath(file)}};
    propose(proposal, true, nullptr);
}

void ArchiveEditor::addFiles(int folder, const QStringList& paths) {
    const auto index = host_.index();
    if (!index || folder < 0 || folder >= static_cast<int>(index->folders().size())) {
        return;
    }
    const ArchiveIndex::Folder& target = index->folders()[static_cast<std::size_t>(folder)];
    const std::u16string prefix = target.stored.empty() ? std::u16string() : target.stored + u'\\';
    std::vector<archive::EntryUpdate> changes;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        const std::u16string base = prefix + info.fileName().toStdU16String();
        if (info.isDir()) {
            archive::PackList list;
            try {
                // The archive itself may lie below a dropped folder.
                archive::ListFiles(toHostPath(path), list, {archive_});
            } catch (const archive::ArchiveError& error) {
                QMessageBox::warning(window_, QStringLiteral("无法添加"),
                                     describePackFailure(error));
                return;
            }
            for (const std::u16string& name : list.FileNames) {
                std::u16string stored = base + u'\\' + name;
                changes.push_back({std::move(stored), toHostPath(path) / hostRelative(name)});
            }
        } else if (info.isFile()) {
            changes.push_back({base, toHostPath(path)});
        }
    }
    if (changes.empty()) {
        host_.status(QStringLiteral("拖入的文件夹里没有文件，皮肤包没有改动。"));
        return;
    }
    Proposal proposal;
    proposal.title = QStringLiteral("添加文件");
    proposal.text = QStringLiteral("把 %1 个文件添加到“%2”？")
                        .arg(changes.size())
                        .arg(folder == 0 ? QStringLiteral("皮肤包顶层") : target.path);
    proposal.detail = QStringLiteral("同名的条目会被替换。皮肤包会立即重写，其他条目保持不变。");
    proposal.changes = std::move(changes);
    propose(proposal, true, nullptr);
}

void ArchiveEditor::removeEntries(const std::vector<std::u16string>& names) {
    if (names.empty() || !host_.index()) {
        return;
    }
    Proposal proposal;
    proposal.title = QStringLiteral("删除条目");
    if (names.size() == 1 && names.front().ends_with(u'\\')) {
        const std::u16string folder = names.front().substr(0, names.front().size() - 1);
        proposal.text = QStringLiteral("删除文件夹“%1”和其中的全部条目？").arg(shownName(folder));
    } else if (names.size() == 1) {
        proposal.text = QStringLiteral("删除条目“%1”？").arg(shownName(names.front()));
    } else {
        proposal.text = QStringLiteral("删除所选的 %1 个条目？").arg(names.size());
        QStringList shown;
        for (std::size_t i = 0; i < names.size() && i < 5; ++i) {
            shown << shownName(names[i]);
        }
        if (names.size() > 5) {
            shown << QStringLiteral("……");
        }
        proposal.detail = shown.join(u'\n') + QStringLiteral("\n\n");
    }
    proposal.detail += QStringLiteral("皮肤包会立即重写，删除后不能撤销。");
    for (const std::u16string& name : names) {
        proposal.changes.push_back({name, std::nullopt});
    }
    propose(proposal, true, nullptr);
}

EditAnswer ArchiveEditor::askWithBox(const QString& text, const QString& detail,
                                     const QString& checkBox) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("修改皮肤包"), text,
                    QMessageBox::Yes | QMessageBox::No, window_);
    box.setInformativeText(detail);
    box.setDefaultButton(QMessageBox::Yes);
    if (!checkBox.isEmpty()) {
        box.setCheckBox(new QCheckBox(checkBox, &box));
        box.checkBox()->setAccessibleName(checkBox);
    }
    const bool yes = box.exec() == QMessageBox::Yes;
    return {yes, yes && box.checkBox() != nullptr && box.checkBox()->isChecked()};
}

}  // namespace tessapak::app::browser
