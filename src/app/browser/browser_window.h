#pragma once

#include <QMainWindow>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QThread;
class QToolBar;
class QLineEdit;
class QListView;
class QSortFilterProxyModel;
class QStackedWidget;
class QTreeView;

namespace tessapak::app::browser {

class ArchiveEditor;
class ArchiveIndex;
class Comparison;
class FileListModel;
class FolderTreeModel;
class PreviewPane;
class ThumbnailCache;

// A window that shows what an archive holds without unpacking it: its
// folders, the chosen folder's files as a list or as thumbnails, a preview,
// and the ways to get files out (extract, unpack all, drag out, copy) and to
// change it (edit an entry elsewhere, drop files in, delete).
class BrowserWindow : public QMainWindow {
    Q_OBJECT

  public:
    explicit BrowserWindow(QWidget* parent = nullptr);
    ~BrowserWindow() override;

    // Opens an archive; a damaged one or a file that is none shows why instead.
    void openArchive(const QString& path);

    // For tests and benchmarks.
    FileListModel* fileModel() const { return files_; }
    FolderTreeModel* folderModel() const { return folders_; }
    ThumbnailCache* thumbnails() const { return thumbnails_; }
    PreviewPane* preview() const { return preview_; }
    QListView* thumbnailView() const { return iconView_; }
    QTreeView* fileView() const { return detailView_; }
    QString statusText() const;
    QTreeView* folderView() const { return folderView_; }
    ArchiveEditor* editor() const { return editor_; }
    void showThumbnails(bool shown);

    // Compares the open archive, as the newer version, with an older one
    // (an archive or a folder) on a worker; the views then mark what differs.
    void compareWith(const QString& olderPath);
    void endComparison();
    std::shared_ptr<const Comparison> comparison() const { return comparison_; }

  signals:
    // A comparison was shown or ended.
    void comparisonChanged();

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    struct Job {
        std::function<void(qint64 done, qint64 total)> progress;
        std::atomic<bool>* cancelled = nullptr;
    };

    // Where a person was in the archive, by stored names, to find again
    // after it is read anew.
    struct Place {
        std::u16string folder;
        std::vector<std::u16string> chosen;
        std::u16string current;
    };
    // What a drop at a point lands on: a file entry, or a folder to add to.
    struct DropTarget {
        int entry = -1;
        int folder = -1;
        bool emptyList = false;  // the file list, away from its files
    };

    void createActions();
    void createEditActions();
    // The comparison's part of the window, in compare_actions.cpp.
    void createCompareActions(QToolBar* bar);
    void chooseOlderVersion(bool folder);
    void applyComparison(std::shared_ptr<const Comparison> comparison);
    QString comparisonStatus() const;
    // Says so when the selection holds only files the open archive lacks.
    bool onlyRemovedFilesSelected();

    void createViews();
    void createFileViews(QWidget* parent);
    void connectViews();
    void createEditor();
    void dropModels();
    void releaseArchive();
    void reloadArchive();
    Place currentPlace() const;
    void restorePlace(const Place& place);
    DropTarget dropTargetAt(const QPoint& point) const;
    void updateEditActions();
    void editCurrent();
    void folderChosen();
    void selectionChanged();
    void updateStatus();
    void filterChanged(const QString& text);

    // Stored names of what is selected: the chosen files, or the chosen
    // folder (everything below it) when no file is.
    std::vector<std::u16string> selectedNames() const;
    std::vector<int> selectedEntries() const;

    void extractSelected();
    void unpackAll();
    void verify();
    void copyPicture();
    void chooseArchive();
    void dragOut();

    // Runs work on a worker thread behind a progress dialog that can cancel
    // it; the text it returns, if any, is shown when it ends.
    // With done, done gets that text instead.
    void runJob(const QString& title, std::function<QString(Job&)> work,
                std::function<void(const QString&)> done = {});

    std::shared_ptr<const ArchiveIndex> index_;
    QString archivePath_;
    Place releasedAt_;
    // The older version a comparison let go of the archive was made with.
    QString releasedComparison_;
    ArchiveEditor* editor_ = nullptr;
    FolderTreeModel* folders_ = nullptr;
    FileListModel* files_ = nullptr;
    QSortFilterProxyModel* sorted_ = nullptr;
    ThumbnailCache* thumbnails_ = nullptr;

    QStackedWidget* pages_ = nullptr;
    QLabel* message_ = nullptr;
    QTreeView* folderView_ = nullptr;
    QStackedWidget* fileViews_ = nullptr;
    QTreeView* detailView_ = nullptr;
    QListView* iconView_ = nullptr;
    PreviewPane* preview_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QLabel* status_ = nullptr;

    QAction* extractAction_ = nullptr;
    QAction* unpackAction_ = nullptr;
    QAction* verifyAction_ = nullptr;
    QAction* copyAction_ = nullptr;
    QAction* thumbnailAction_ = nullptr;
    QAction* compareAction_ = nullptr;
    QAction* differencesAction_ = nullptr;
    QAction* endCompareAction_ = nullptr;
    std::shared_ptr<const Comparison> comparison_;
    QAction* editAction_ = nullptr;
    QAction* deleteAction_ = nullptr;

    std::shared_ptr<std::atomic<bool>> jobCancelled_;
    QThread* jobThread_ = nullptr;
    bool closing_ = false;
};

// Opens a browser window of its own for an archive (tessapak ARCHIVE.rdb).
BrowserWindow* openBrowserFor(const QString& archivePath);

// Adds 查看内容… to the context menu of the main window's archive box and
// opens the browser when that box is double-clicked while it names a file.
// The browser windows stand on their own, so closing the main window leaves
// them open.
void installBrowserEntryPoints(QLineEdit* archiveBox);

}  // namespace tessapak::app::browser
