#include "app/browser/browser_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProgressDialog>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QThread>
#include <QToolBar>
#include <QTreeView>
#include <QUrl>
#include <chrono>
#include <utility>

#include "app/browser/archive_editing.h"
#include "app/browser/archive_model.h"
#include "app/browser/comparison.h"
#include "app/browser/preview_pane.h"
#include "app/browser/thumbnail_cache.h"
#include "app/failure_text.h"
#include "app/host_paths.h"
#include "archive/archive_error.h"
#include "archive/entry_reader.h"
#include "archive/extract_selection.h"

namespace tessapak::app::browser {

namespace {

namespace fs = std::filesystem;

// A view whose drags are made by the window: the files must be written out
// before a file manager can take them.
template <typename View>
class DragOutView : public View {
  public:
    using View::View;
    std::function<void()> onDrag;

  protected:
    void startDrag(Qt::DropActions) override {
        if (onDrag) {
            onDrag();
        }
    }
};

// Dragged files are written here; the folder goes when the program ends.
QString dragFolder() {
    static std::unique_ptr<QTemporaryDir> folder;
    static int drags = 0;
    if (!folder) {
        folder = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                 QStringLiteral("/tessapak-drag-XXXXXX"));
    }
    if (!folder->isValid()) {
        return {};
    }
    const QString path = folder->filePath(QString::number(++drags));
    return QDir().mkpath(path) ? path : QString();
}

struct JobCancelled {};

QString countText(qint64 files, qint64 bytes) {
    return QStringLiteral("%1 个文件，%2").arg(files).arg(sizeText(bytes));
}

qint64 filesBelow(const fs::path& folder) {
    qint64 count = 0;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_regular_file(error)) {
            ++count;
        }
    }
    return count;
}

}  // namespace

BrowserWindow::BrowserWindow(QWidget* parent) : QMainWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    setWindowTitle(QStringLiteral("查看内容"));
    resize(1000, 640);
    createViews();
    createActions();
    createEditor();
    updateStatus();
}

BrowserWindow::~BrowserWindow() {
    // Deleted without being closed (a test, a parent going), a job's end
    // must not be posted to a window that is gone.
    if (jobThread_ != nullptr) {
        *jobCancelled_ = true;
        jobThread_->wait();
    }
    // The models read through the cache, which stops its workers when deleted.
    sorted_->setSourceModel(nullptr);
    delete files_;
    delete thumbnails_;
}

void BrowserWindow::createViews() {
    pages_ = new QStackedWidget(this);
    message_ = new QLabel(pages_);
    message_->setAlignment(Qt::AlignCenter);
    message_->setWordWrap(true);
    message_->setText(QStringLiteral("把 RDB 文件拖到这里，或点“打开…”。"));

    auto* splitter = new QSplitter(pages_);
    folderView_ = new QTreeView(splitter);
    folderView_->setAccessibleName(QStringLiteral("文件夹"));
    folderView_->setHeaderHidden(true);
    createFileViews(splitter);
    preview_ = new PreviewPane(splitter);
    preview_->setAccessibleName(QStringLiteral("预览"));
    splitter->addWidget(folderView_);
    splitter->addWidget(fileViews_);
    splitter->addWidget(preview_);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 3);
    splitter->setStretchFactor(2, 2);
    splitter->setSizes({200, 480, 320});

    pages_->addWidget(message_);
    pages_->addWidget(splitter);
    setCentralWidget(pages_);

    status_ = new QLabel(this);
    statusBar()->addWidget(status_, 1);
    connectViews();
}

// The chosen folder's files as a list and as thumbnails, sharing one
// selection.
void BrowserWindow::createFileViews(QWidget* parent) {
    fileViews_ = new QStackedWidget(parent);
    sorted_ = new QSortFilterProxyModel(this);
    sorted_->setSortRole(FileListModel::SortRole);
    auto* details = new DragOutView<QTreeView>(fileViews_);
    details->onDrag = [this] { dragOut(); };
    detailView_ = details;
    detailView_->setAccessibleName(QStringLiteral("文件列表"));
    detailView_->setRootIsDecorated(false);
    detailView_->setUniformRowHeights(true);
    detailView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    detailView_->setDragEnabled(true);
    detailView_->setSortingEnabled(true);
    detailView_->setModel(sorted_);
    detailView_->sortByColumn(-1, Qt::AscendingOrder);  // archive order until asked
    auto* icons = new DragOutView<QListView>(fileViews_);
    icons->onDrag = [this] { dragOut(); };
    iconView_ = icons;
    iconView_->setAccessibleName(QStringLiteral("缩略图"));
    iconView_->setViewMode(QListView::IconMode);
    iconView_->setIconSize(QSize(ThumbnailCache::kSide, ThumbnailCache::kSide));
    iconView_->setGridSize(QSize(ThumbnailCache::kSide + 32, ThumbnailCache::kSide + 40));
    iconView_->setUniformItemSizes(true);
    iconView_->setResizeMode(QListView::Adjust);
    iconView_->setMovement(QListView::Static);
    iconView_->setWordWrap(true);
    iconView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    iconView_->setDragEnabled(true);
    iconView_->setModel(sorted_);
    iconView_->setSelectionModel(detailView_->selectionModel());
    fileViews_->addWidget(detailView_);
    fileViews_->addWidget(iconView_);
}

void BrowserWindow::connectViews() {
    connect(preview_, &PreviewPane::shown, this,
            [this] { copyAction_->setEnabled(!preview_->picture().isNull()); });
    connect(detailView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &BrowserWindow::selectionChanged);
    connect(detailView_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                copyAction_->setEnabled(false);
                const int entry =
                    current.isValid() ? current.data(FileListModel::EntryRole).toInt() : -1;
                if (entry < 0 && current.isValid()) {
                    preview_->showRemoved(current.data(FileListModel::RemovedRole).toInt());
                } else {
                    preview_->showEntry(entry);
                }
                updateEditActions();
            });
}

void BrowserWindow::createActions() {
    auto* bar = addToolBar(QStringLiteral("工具栏"));
    bar->setObjectName(QStringLiteral("browserToolBar"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const auto add = [&](const QString& text, QKeySequence keys, auto slot) {
        QAction* action = bar->addAction(text);
        action->setShortcut(keys);
        action->setToolTip(text + QStringLiteral(" (") + keys.toString(QKeySequence::NativeText) +
                           QStringLiteral(")"));
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    add(QStringLiteral("打开…"), QKeySequence::Open, &BrowserWindow::chooseArchive);
    extractAction_ = add(QStringLiteral("解出所选…"), QKeySequence(Qt::CTRL | Qt::Key_E),
                         &BrowserWindow::extractSelected);
    unpackAction_ = add(QStringLiteral("全部解包"), QKeySequence(Qt::CTRL | Qt::Key_U),
                        &BrowserWindow::unpackAll);
    verifyAction_ =
        add(QStringLiteral("校验"), QKeySequence(Qt::CTRL | Qt::Key_K), &BrowserWindow::verify);
    copyAction_ = add(QStringLiteral("复制图片"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C),
                      &BrowserWindow::copyPicture);
    thumbnailAction_ = bar->addAction(QStringLiteral("缩略图"));
    thumbnailAction_->setCheckable(true);
    thumbnailAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    connect(thumbnailAction_, &QAction::toggled, this, &BrowserWindow::showThumbnails);
    createCompareActions(bar);
    bar->addSeparator();
    filter_ = new QLineEdit(bar);
    filter_->setPlaceholderText(QStringLiteral("筛选文件名"));
    filter_->setAccessibleName(QStringLiteral("筛选文件名"));
    filter_->setClearButtonEnabled(true);
    filter_->setMaximumWidth(240);
    bar->addWidget(filter_);
    auto* find = new QAction(this);
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, filter_, [this] { filter_->setFocus(); });
    addAction(find);
    connect(filter_, &QLineEdit::textChanged, this, &BrowserWindow::filterChanged);

    createEditActions();
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(detailView_),
                                    static_cast<QAbstractItemView*>(iconView_)}) {
        view->setContextMenuPolicy(Qt::ActionsContextMenu);
        view->addActions({extractAction_, copyAction_, separator, editAction_, deleteAction_});
    }
    folderView_->setContextMenuPolicy(Qt::ActionsContextMenu);
    folderView_->addAction(deleteAction_);
    for (QAction* action :
         {extractAction_, unpackAction_, verifyAction_, copyAction_, editAction_, deleteAction_}) {
        action->setEnabled(false);
    }
}

// Only in the views: Delete in the filter box must stay the filter box's.
void BrowserWindow::createEditActions() {
    editAction_ = new QAction(QStringLiteral("用默认程序编辑"), this);
    editAction_->setToolTip(QStringLiteral("用系统为这类文件设定的程序打开，保存后可以更新皮肤包"));
    connect(editAction_, &QAction::triggered, this, &BrowserWindow::editCurrent);
    deleteAction_ = new QAction(QStringLiteral("删除"), this);
    deleteAction_->setShortcut(QKeySequence::Delete);
    deleteAction_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(deleteAction_, &QAction::triggered, this,
            [this] { editor_->removeEntries(selectedNames()); });
}

void BrowserWindow::createEditor() {
    EditingHost host;
    host.index = [this] { return index_; };
    host.release = [this] { releaseArchive(); };
    host.reload = [this] { reloadArchive(); };
    host.status = [this](const QString& text) { statusBar()->showMessage(text, 10000); };
    host.busy = [this] { return jobThread_ != nullptr; };
    host.run = [this](const QString& title, EditingHost::Work work,
                      std::function<void(const QString&)> done) {
        runJob(
            title,
            [work = std::move(work)](Job& job) {
                try {
                    return work([&job](qint64 done, qint64 total) {
                        job.progress(done, total);
                        if (job.cancelled->load()) {
                            throw JobCancelled{};
                        }
                    });
                } catch (const JobCancelled&) {
                    return QStringLiteral("已取消，皮肤包没有改动。");
                }
            },
            std::move(done));
    };
    editor_ = new ArchiveEditor(std::move(host), this);
}

void BrowserWindow::updateEditActions() {
    const QModelIndex current = detailView_->currentIndex();
    // Not a file only the older version of a comparison has.
    editAction_->setEnabled(index_ && current.isValid() &&
                            current.data(FileListModel::EntryRole).toInt() >= 0);
    deleteAction_->setEnabled(index_ && !selectedNames().empty());
}

void BrowserWindow::editCurrent() {
    const QModelIndex current = detailView_->currentIndex();
    if (index_ && current.isValid()) {
        editor_->editExternally(current.data(FileListModel::EntryRole).toInt());
    }
}

void BrowserWindow::openArchive(const QString& given) {
    // Absolute, so that messages name the same place whatever the working folder.
    const QString path = given.isEmpty() ? given : QFileInfo(given).absoluteFilePath();
    setWindowTitle(QFileInfo(path).fileName() + QStringLiteral(" - 查看内容"));
    archivePath_ = path;
    editor_->archiveOpened(toHostPath(path));
    std::shared_ptr<const ArchiveIndex> index;
    try {
        index = ArchiveIndex::open(toHostPath(path));
    } catch (const archive::ArchiveError& error) {
        message_->setText(QStringLiteral("无法打开这个文件：\n") + describePackFailure(error));
    } catch (const std::bad_alloc&) {
        message_->setText(QStringLiteral("无法打开这个文件：内存不足。"));
    }
    dropModels();
    index_ = index;
    comparison_.reset();  // of the archive that was open
    preview_->setArchive(index_);
    for (QAction* action : {extractAction_, unpackAction_, verifyAction_}) {
        action->setEnabled(index_ != nullptr);
    }
    if (!index_) {
        pages_->setCurrentWidget(message_);
        applyComparison(nullptr);
        updateEditActions();
        return;
    }
    thumbnails_ = new ThumbnailCache(index_, this);
    folders_ = new FolderTreeModel(index_, this);
    files_ = new FileListModel(index_, thumbnails_, this);
    files_->setThumbnailsShown(fileViews_->currentWidget() == iconView_);
    files_->setFilter(filter_->text());
    sorted_->setSourceModel(files_);
    folderView_->setModel(folders_);
    connect(folderView_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &BrowserWindow::folderChosen);
    folderView_->expand(folders_->indexOf(0));
    folderView_->setCurrentIndex(folders_->indexOf(0));
    detailView_->header()->setSectionResizeMode(FileListModel::NameColumn, QHeaderView::Stretch);
    detailView_->header()->setStretchLastSection(false);
    pages_->setCurrentIndex(1);
    applyComparison(nullptr);
    updateEditActions();
}

void BrowserWindow::dropModels() {
    // The old models go first: their thumbnail workers stop with them.
    sorted_->setSourceModel(nullptr);
    folderView_->setModel(nullptr);
    delete files_;
    delete folders_;
    delete thumbnails_;
    files_ = nullptr;
    folders_ = nullptr;
    thumbnails_ = nullptr;
}

void BrowserWindow::releaseArchive() {
    releasedAt_ = currentPlace();
    // The comparison holds the archive open too, which Windows will not
    // replace; it is made again once the archive is read anew.
    if (comparison_) {
        releasedComparison_ = fromHostPath(comparison_->otherPath());
        applyComparison(nullptr);
    }
    dropModels();
    index_ = nullptr;
    preview_->setArchive(nullptr);
    for (QAction* action : {extractAction_, unpackAction_, verifyAction_, copyAction_}) {
        action->setEnabled(false);
    }
    updateEditActions();
    message_->setText(QStringLiteral("正在更新皮肤包…"));
    pages_->setCurrentWidget(message_);
}

void BrowserWindow::reloadArchive() {
    const Place place = index_ ? currentPlace() : releasedAt_;
    QString compared = std::exchange(releasedComparison_, QString());
    if (comparison_) {
        compared = fromHostPath(comparison_->otherPath());
    }
    openArchive(archivePath_);
    restorePlace(place);
    // Compared again, so that the marks show the change just made.
    if (!compared.isEmpty() && index_) {
        compareWith(compared);
    }
}

BrowserWindow::Place BrowserWindow::currentPlace() const {
    Place place;
    if (!index_ || files_ == nullptr) {
        return place;
    }
    const auto& entries = index_->reader().entries();
    place.folder = index_->folders()[static_cast<std::size_t>(files_->folder())].stored;
    for (const int entry : selectedEntries()) {
        place.chosen.push_back(entries[static_cast<std::size_t>(entry)].Name);
    }
    const QModelIndex current = detailView_->currentIndex();
    if (current.isValid() && current.data(FileListModel::EntryRole).toInt() >= 0) {
        place.current =
            entries[static_cast<std::size_t>(current.data(FileListModel::EntryRole).toInt())].Name;
    }
    return place;
}

void BrowserWindow::restorePlace(const Place& place) {
    if (!index_ || files_ == nullptr) {
        return;
    }
    const auto& folders = index_->folders();
    for (std::size_t folder = 0; folder < folders.size(); ++folder) {
        if (folders[folder].stored == place.folder) {
            const QModelIndex shown = folders_->indexOf(static_cast<int>(folder));
            folderView_->scrollTo(shown);  // opens the folders above it
            folderView_->setCurrentIndex(shown);
            break;
        }
    }
    const auto& entries = index_->reader().entries();
    QItemSelection chosen;
    QModelIndex current;
    for (int row = 0; row < files_->rowCount(); ++row) {
        const std::u16string& name = entries[static_cast<std::size_t>(files_->entryAt(row))].Name;
        const QModelIndex shown = sorted_->mapFromSource(files_->index(row, 0));
        if (std::find(place.chosen.begin(), place.chosen.end(), name) != place.chosen.end()) {
            chosen.select(shown, shown);
        }
        if (name == place.current) {
            current = shown;
        }
    }
    auto* selection = detailView_->selectionModel();
    if (current.isValid()) {
        selection->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    }
    selection->select(chosen, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void BrowserWindow::showThumbnails(bool shown) {
    if (thumbnailAction_->isChecked() != shown) {
        thumbnailAction_->setChecked(shown);  // comes back here
        return;
    }
    if (files_ != nullptr) {
        files_->setThumbnailsShown(shown);
    }
    fileViews_->setCurrentWidget(shown ? static_cast<QWidget*>(iconView_) : detailView_);
}

void BrowserWindow::folderChosen() {
    if (files_ == nullptr) {
        return;
    }
    files_->setFolder(folders_->folderAt(folderView_->currentIndex()));
    preview_->showEntry(-1);
    updateStatus();
    updateEditActions();
}

void BrowserWindow::filterChanged(const QString& text) {
    if (files_ == nullptr) {
        return;
    }
    files_->setFilter(text);
    preview_->showEntry(-1);
    updateStatus();
}

void BrowserWindow::selectionChanged() {
    updateStatus();
    updateEditActions();
}

void BrowserWindow::updateStatus() {
    if (!index_) {
        status_->setText(QStringLiteral("没有打开文件"));
        return;
    }
    QString text = QStringLiteral("共 ") + countText(index_->entryCount(), index_->totalBytes());
    if (files_ != nullptr) {
        text += QStringLiteral("　｜　列出 %1 个文件").arg(files_->rowCount());
    }
    const std::vector<int> chosen = selectedEntries();
    if (!chosen.empty()) {
        qint64 bytes = 0;
        for (const int entry : chosen) {
            bytes += index_->size(entry);
        }
        text +=
            QStringLiteral("　｜　已选 ") + countText(static_cast<qint64>(chosen.size()), bytes);
    }
    status_->setText(text + comparisonStatus());
}

QString BrowserWindow::statusText() const {
    return status_->text();
}

std::vector<int> BrowserWindow::selectedEntries() const {
    std::vector<int> entries;
    if (files_ == nullptr) {
        return entries;
    }
    for (const QModelIndex& row : detailView_->selectionModel()->selectedRows()) {
        if (const int entry = row.data(FileListModel::EntryRole).toInt(); entry >= 0) {
            entries.push_back(entry);  // not a file only the older version has
        }
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<std::u16string> BrowserWindow::selectedNames() const {
    std::vector<std::u16string> names;
    for (const int entry : selectedEntries()) {
        names.push_back(index_->reader().entries()[static_cast<std::size_t>(entry)].Name);
    }
    if (names.empty() && files_ != nullptr && files_->folder() != 0) {
        names.push_back(index_->folders()[static_cast<std::size_t>(files_->folder())].stored +
                        u'\\');
    }
    return names;
}

void BrowserWindow::extractSelected() {
    if (!index_ || onlyRemovedFilesSelected()) {
        return;
    }
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("解出到哪个文件夹"),
        QFileInfo(index_ ? fromHostPath(index_->path()) : QString()).absolutePath());
    if (folder.isEmpty()) {
        return;
    }
    std::vector<std::u16string> unmatched;
    const std::vector<std::size_t> picked =
        archive::selectEntries(index_->reader().entries(), selectedNames(), unmatched);
    const fs::path target = toHostPath(folder);
    bool overwrite = false;
    const auto obstacles = archive::findObstacles(index_->reader(), picked, target);
    for (const archive::Obstacle& obstacle : obstacles) {
        if (!obstacle.replaceable) {
            QMessageBox::warning(this, QStringLiteral("无法解出"),
                                 QStringLiteral("%1 已被占用（那里需要的是文件夹，或者是一个同名的"
                                                "文件夹挡住了文件），没有解出任何文件。")
                                     .arg(shownPath(obstacle.path)));
            return;
        }
    }
    if (!obstacles.empty()) {
        const auto answer = QMessageBox::question(
            this, QStringLiteral("覆盖文件"),
            QStringLiteral("目标文件夹里已有 %1 个同名文件，例如：\n%2\n要覆盖它们吗？")
                .arg(obstacles.size())
                .arg(shownPath(obstacles.front().path)));
        if (answer != QMessageBox::Yes) {
            return;
        }
        overwrite = true;
    }
    const std::shared_ptr<const ArchiveIndex> index = index_;
    runJob(QStringLiteral("解出所选"), [index, picked, target, overwrite, folder](Job& job) {
        archive::SelectionOptions options;
        options.overwrite = overwrite;
        options.progress = job.progress;
        options.cancelled = [&job] { return job.cancelled->load(); };
        archive::SelectionOutcome outcome;
        try {
            archive::extractSelection(index->reader(), picked, target, options, outcome);
        } catch (const archive::ArchiveError& error) {
            return QStringLiteral("解出失败：%1。\n此前已完整解出 %2 个文件到 %3。")
                .arg(describePackFailure(error))
                .arg(outcome.written.size())
                .arg(folder);
        }
        if (outcome.cancelled) {
            return QStringLiteral("已取消。已完整解出 %1 个文件到 %2，没有留下未写完的文件。")
                .arg(outcome.written.size())
                .arg(folder);
        }
        return QStringLiteral("已解出 %1 到 %2。")
            .arg(countText(static_cast<qint64>(outcome.written.size()), outcome.bytes), folder);
    });
}

void BrowserWindow::unpackAll() {
    if (!index_) {
        return;
    }
    const fs::path archivePath = index_->path();
    runJob(QStringLiteral("全部解包"), [archivePath](Job& job) {
        fs::path outputFolder = archivePath.parent_path();
        if (outputFolder.empty()) {
            outputFolder = ".";
        }
        const fs::path expected =
            archive::chooseTargetFolder(outputFolder, archive::baseNameFor(archivePath));
        try {
            archive::ArchiveReader reader(archivePath);
            reader.readDirectory();
            const fs::path target =
                reader.extractTo(outputFolder, [&job](std::int64_t done, std::int64_t total) {
                    job.progress(done, total);
                    if (job.cancelled->load()) {
                        throw JobCancelled{};
                    }
                });
            return QStringLiteral("解包完成：%1 个文件已解到 %2。")
                .arg(reader.entries().size())
                .arg(shownPath(target));
        } catch (const JobCancelled&) {
            return QStringLiteral("已取消。%1 中已有 %2 个完整的文件。")
                .arg(shownPath(expected))
                .arg(filesBelow(expected));
        } catch (const archive::ArchiveError& error) {
            return QStringLiteral("解包失败：%1。").arg(describePackFailure(error));
        }
    });
}

void BrowserWindow::verify() {
    if (!index_) {
        return;
    }
    const fs::path archivePath = index_->path();
    runJob(QStringLiteral("校验"), [archivePath](Job& job) {
        try {
            // Read afresh: the file may have changed since it was opened.
            archive::ArchiveReader reader(archivePath);
            reader.readDirectory();
            const archive::EntryReader entries(reader);
            std::vector<char> buffer(std::size_t{1} << 20);
            const auto total = static_cast<std::int64_t>(reader.entries().size());
            std::int64_t bytes = 0;
            for (std::size_t i = 0; i < reader.entries().size(); ++i) {
                for (std::int64_t done = 0;;) {
                    if (job.cancelled->load()) {
                        return QStringLiteral("已取消校验，检查了 %1 个文件，没有发现问题。")
                            .arg(i);
                    }
                    const std::size_t got = entries.readPart(i, done, buffer.data(), buffer.size());
                    if (got == 0) {
                        break;
                    }
                    done += static_cast<std::int64_t>(got);
                    bytes += static_cast<std::int64_t>(got);
                }
                job.progress(static_cast<std::int64_t>(i) + 1, total);
            }
            return QStringLiteral("校验通过：%1，文件结构和数据完好。")
                .arg(countText(total, bytes));
        } catch (const archive::ArchiveError& error) {
            return QStringLiteral("校验失败：%1。").arg(describePackFailure(error));
        }
    });
}

void BrowserWindow::copyPicture() {
    const QImage picture = preview_->picture();
    if (picture.isNull()) {
        statusBar()->showMessage(QStringLiteral("请先选择一张能预览的图片。"), 4000);
        return;
    }
    QApplication::clipboard()->setImage(picture);
    statusBar()->showMessage(QStringLiteral("图片已复制到剪贴板。"), 4000);
}

void BrowserWindow::chooseArchive() {
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("打开 RDB 文件"), QString(),
                                     QStringLiteral("RDB 文件 (*.rdb);;所有文件 (*)"));
    if (!path.isEmpty()) {
        openArchive(path);
    }
}

void BrowserWindow::dragOut() {
    if (!index_ || selectedEntries().empty()) {
        return;
    }
    const QString folder = dragFolder();
    if (folder.isEmpty()) {
        return;
    }
    std::vector<std::u16string> unmatched;
    const auto picked =
        archive::selectEntries(index_->reader().entries(), selectedNames(), unmatched);
    archive::SelectionOutcome outcome;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        archive::extractSelection(index_->reader(), picked, toHostPath(folder), {}, outcome);
    } catch (const archive::ArchiveError& error) {
        QApplication::restoreOverrideCursor();
        QMessageBox::warning(this, QStringLiteral("无法拖出"), describePackFailure(error));
        return;
    }
    QApplication::restoreOverrideCursor();
    QList<QUrl> urls;
    for (const std::size_t entry : outcome.written) {
        const auto relative = archive::relativeHostPath(index_->reader(), entry);
        urls.push_back(QUrl::fromLocalFile(fromHostPath(toHostPath(folder) / relative)));
    }
    auto* data = new QMimeData;
    data->setUrls(urls);
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction);
}

void BrowserWindow::runJob(const QString& title, std::function<QString(Job&)> work,
                           std::function<void(const QString&)> done) {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    jobCancelled_ = cancelled;
    auto* dialog =
        new QProgressDialog(QStringLiteral("正在准备…"), QStringLiteral("取消"), 0, 0, this);
    dialog->setWindowTitle(title);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setMinimumDuration(400);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    connect(dialog, &QProgressDialog::canceled, this, [cancelled] { *cancelled = true; });
    const QPointer<QProgressDialog> shown(dialog);
    jobThread_ = QThread::create(
        [this, shown, cancelled, title, work = std::move(work), done = std::move(done)] {
            Job job;
            job.cancelled = cancelled.get();
            auto last = std::chrono::steady_clock::time_point{};
            job.progress = [shown, &last](qint64 done, qint64 total) {
                const auto now = std::chrono::steady_clock::now();
                if (done < total && now - last < std::chrono::milliseconds(50)) {
                    return;  // the dialog need not hear of every small file
                }
                last = now;
                QMetaObject::invokeMethod(
                    qApp,
                    [shown, done, total] {
                        if (shown) {
                            shown->setMaximum(static_cast<int>(total));
                            shown->setValue(static_cast<int>(done));
                            shown->setLabelText(
                                QStringLiteral("已完成 %1 / %2 个文件").arg(done).arg(total));
                        }
                    },
                    Qt::QueuedConnection);
            };
            const QString summary = work(job);
            QMetaObject::invokeMethod(
                this,
                [this, shown, title, summary, done] {
                    if (shown) {
                        shown->deleteLater();
                    }
                    jobThread_ = nullptr;
                    if (done) {
                        if (!closing_) {
                            done(summary);
                        }
                        return;
                    }
                    statusBar()->showMessage(summary, 10000);
                    if (!closing_ && !summary.isEmpty()) {
                        QMessageBox::information(this, title, summary);
                    }
                    editor_->resume();  // saves noticed during the job
                },
                Qt::QueuedConnection);
        });
    connect(jobThread_, &QThread::finished, jobThread_, &QObject::deleteLater);
    jobThread_->start();
}

namespace {

QStringList localFiles(const QMimeData* data) {
    QStringList files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) {
            return {};
        }
        files << url.toLocalFile();
    }
    return files;
}

bool isOneArchive(const QStringList& files) {
    return files.size() == 1 && hasRdbExtension(files.front());
}

}  // namespace

BrowserWindow::DropTarget BrowserWindow::dropTargetAt(const QPoint& point) const {
    if (!index_ || files_ == nullptr) {
        return {};
    }
    QWidget* tree = folderView_->viewport();
    if (tree->isVisible() && tree->rect().contains(tree->mapFrom(this, point))) {
        const QModelIndex folder = folderView_->indexAt(tree->mapFrom(this, point));
        return folder.isValid() ? DropTarget{-1, folders_->folderAt(folder), false} : DropTarget{};
    }
    const auto* view = static_cast<const QAbstractItemView*>(fileViews_->currentWidget());
    QWidget* list = view->viewport();
    if (list->isVisible() && list->rect().contains(list->mapFrom(this, point))) {
        const QModelIndex file = view->indexAt(list->mapFrom(this, point));
        // A file only the older version of a comparison has is no entry to replace.
        if (file.isValid() && file.data(FileListModel::EntryRole).toInt() >= 0) {
            return {file.data(FileListModel::EntryRole).toInt(), -1, false};
        }
        return {-1, files_->folder(), true};
    }
    return {};
}

void BrowserWindow::dragEnterEvent(QDragEnterEvent* event) {
    // What is dragged out of this window's own lists stays out of it.
    const auto* from = qobject_cast<const QWidget*>(event->source());
    if (from != nullptr && (from == this || isAncestorOf(from))) {
        return;
    }
    const QStringList files = localFiles(event->mimeData());
    if (isOneArchive(files) || (index_ && !files.isEmpty())) {
        event->acceptProposedAction();
    }
}

// Onto a file entry replaces it, onto a folder (or the list of its files)
// adds there; one archive dropped anywhere else opens, as it always did.
void BrowserWindow::dragMoveEvent(QDragMoveEvent* event) {
    const QStringList files = localFiles(event->mimeData());
    const DropTarget target = dropTargetAt(event->position().toPoint());
    if (isOneArchive(files) || target.entry >= 0 || target.folder >= 0) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void BrowserWindow::dropEvent(QDropEvent* event) {
    const QStringList files = localFiles(event->mimeData());
    if (files.isEmpty()) {
        return;
    }
    const DropTarget target = dropTargetAt(event->position().toPoint());
    event->acceptProposedAction();
    if (target.entry >= 0 && files.size() == 1 && QFileInfo(files.front()).isFile()) {
        editor_->replaceEntry(target.entry, files.front());
    } else if (target.entry >= 0) {
        editor_->addFiles(files_->folder(), files);
    } else if (target.folder >= 0 && !(target.emptyList && isOneArchive(files))) {
        editor_->addFiles(target.folder, files);
    } else if (files.size() == 1) {
        openArchive(files.front());
    }
}

void BrowserWindow::closeEvent(QCloseEvent* event) {
    closing_ = true;
    if (jobThread_ != nullptr) {
        *jobCancelled_ = true;
        jobThread_->wait();
    }
    QMainWindow::closeEvent(event);
}

BrowserWindow* openBrowserFor(const QString& archivePath) {
    auto* window = new BrowserWindow;
    window->openArchive(archivePath);
    window->show();
    window->activateWindow();
    return window;
}

namespace {

// Watches the main window's archive box for the two ways into the browser.
class BrowserEntryPoints : public QObject {
  public:
    explicit BrowserEntryPoints(QLineEdit* box) : QObject(box), box_(box) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != box_) {
            return false;
        }
        if (event->type() == QEvent::MouseButtonDblClick && namesFile()) {
            open();
            return true;
        }
        if (event->type() == QEvent::ContextMenu) {
            auto* menu = box_->createStandardContextMenu();
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->addSeparator();
            QAction* look = menu->addAction(QStringLiteral("查看内容…"));
            look->setEnabled(namesFile());
            connect(look, &QAction::triggered, this, &BrowserEntryPoints::open);
            menu->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
        return false;
    }

  private:
    bool namesFile() const { return visibleFileExists(box_->text()); }
    void open() { openBrowserFor(box_->text()); }

    QLineEdit* box_;
};

}  // namespace

void installBrowserEntryPoints(QLineEdit* archiveBox) {
    if (archiveBox == nullptr) {
        return;
    }
    archiveBox->installEventFilter(new BrowserEntryPoints(archiveBox));
}

}  // namespace tessapak::app::browser
