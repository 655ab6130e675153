// The browser window's 比较 part: choosing the older version, comparing on
// a worker, and handing the result to the models and the preview.
#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPointer>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include "app/browser/archive_model.h"
#include "app/browser/browser_window.h"
#include "app/browser/comparison.h"
#include "app/browser/preview_pane.h"
#include "app/failure_text.h"
#include "app/host_paths.h"
#include "archive/archive_error.h"

namespace tessapak::app::browser {

void BrowserWindow::createCompareActions(QToolBar* bar) {
    auto* menu = new QMenu(this);
    menu->setAccessibleName(QStringLiteral("比较"));
    QAction* withArchive = menu->addAction(QStringLiteral("与皮肤包比较…"));
    withArchive->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    connect(withArchive, &QAction::triggered, this, [this] { chooseOlderVersion(false); });
    QAction* withFolder = menu->addAction(QStringLiteral("与文件夹比较…"));
    withFolder->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
    connect(withFolder, &QAction::triggered, this, [this] { chooseOlderVersion(true); });
    // The menu's shortcuts work while it is closed too.
    addActions({withArchive, withFolder});
    menu->addSeparator();
    differencesAction_ = menu->addAction(QStringLiteral("仅显示差异"));
    differencesAction_->setCheckable(true);
    connect(differencesAction_, &QAction::toggled, this, [this](bool only) {
        if (files_ != nullptr) {
            files_->setOnlyDifferences(only);
            preview_->showEntry(-1);
            updateStatus();
        }
    });
    endCompareAction_ = menu->addAction(QStringLiteral("结束比较"));
    connect(endCompareAction_, &QAction::triggered, this, &BrowserWindow::endComparison);

    compareAction_ = bar->addAction(QStringLiteral("比较"));
    compareAction_->setMenu(menu);
    compareAction_->setToolTip(
        QStringLiteral("与旧版本的皮肤包或文件夹比较，标出新增、已修改和已删除的文件"));
    if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(compareAction_))) {
        button->setPopupMode(QToolButton::InstantPopup);
        button->setAccessibleName(QStringLiteral("比较"));
    }
    bar->addAction(endCompareAction_);
    compareAction_->setEnabled(false);
}

void BrowserWindow::chooseOlderVersion(bool folder) {
    if (!index_) {
        return;
    }
    const QString near = QFileInfo(fromHostPath(index_->path())).absolutePath();
    const QString path =
        folder ? QFileDialog::getExistingDirectory(this, QStringLiteral("与哪个文件夹比较"), near)
               : QFileDialog::getOpenFileName(this, QStringLiteral("与哪个皮肤包比较"), near,
                                              QStringLiteral("RDB 文件 (*.rdb);;所有文件 (*)"));
    if (!path.isEmpty()) {
        compareWith(path);
    }
}

void BrowserWindow::compareWith(const QString& olderPath) {
    if (!index_) {
        return;
    }
    const std::shared_ptr<const ArchiveIndex> index = index_;
    const std::filesystem::path older = toHostPath(QFileInfo(olderPath).absoluteFilePath());
    const QPointer<BrowserWindow> self(this);
    runJob(QStringLiteral("比较"), [self, index, older](Job& job) {
        std::shared_ptr<const Comparison> comparison;
        try {
            comparison = Comparison::make(index, older);
        } catch (const archive::ArchiveError& error) {
            return QStringLiteral("比较失败：%1。").arg(describePackFailure(error));
        } catch (const std::bad_alloc&) {
            return QStringLiteral("比较失败：内存不足。");
        }
        if (job.cancelled->load()) {
            return QStringLiteral("已取消比较。");
        }
        // Queued before the job's end, so it lands first; a window closed
        // meanwhile, or another archive opened, takes nothing.
        QMetaObject::invokeMethod(
            self,
            [self, comparison] {
                if (self && self->index_.get() == &comparison->index()) {
                    self->applyComparison(comparison);
                }
            },
            Qt::QueuedConnection);
        return QString();
    });
}

void BrowserWindow::endComparison() {
    applyComparison(nullptr);
}

void BrowserWindow::applyComparison(std::shared_ptr<const Comparison> comparison) {
    const bool comparing = comparison != nullptr;
    const bool changed = comparison_ != comparison;
    comparison_ = std::move(comparison);
    compareAction_->setEnabled(index_ != nullptr);
    differencesAction_->setVisible(comparing);
    endCompareAction_->setVisible(comparing);
    if (!comparing) {
        const QSignalBlocker quiet(differencesAction_);
        differencesAction_->setChecked(false);
    }
    if (files_ != nullptr) {
        folders_->setComparison(comparison_);
        files_->setOnlyDifferences(differencesAction_->isChecked());
        files_->setComparison(comparison_);
        preview_->setComparison(comparison_);  // clears it
        copyAction_->setEnabled(false);
        QHeaderView* header = detailView_->header();
        header->setSectionResizeMode(FileListModel::NameColumn, QHeaderView::Stretch);
        if (comparing) {
            header->setSectionResizeMode(FileListModel::MarkColumn, QHeaderView::ResizeToContents);
        }
    }
    updateStatus();
    if (changed) {
        emit comparisonChanged();
    }
}

QString BrowserWindow::comparisonStatus() const {
    if (!comparison_) {
        return {};
    }
    return QStringLiteral("　｜　与 %1 比较：%2")
        .arg(comparison_->otherName(), comparison_->summary());
}

bool BrowserWindow::onlyRemovedFilesSelected() {
    const QModelIndexList rows = detailView_->selectionModel()->selectedRows();
    if (rows.isEmpty() || !selectedEntries().empty()) {
        return false;
    }
    statusBar()->showMessage(QStringLiteral("所选文件只在旧版本中，无法解出。"), 4000);
    return true;
}

}  // namespace tessapak::app::browser
