#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/update.h"

class QFileSystemWatcher;
class QTemporaryDir;
class QTimer;
class QWidget;

namespace tessapak::app::browser {

class ArchiveIndex;

// A person's answer to a question about changing the archive; always is the
// question's check box (update on every save without asking).
struct EditAnswer {
    bool yes = false;
    bool always = false;
};

// What the editor borrows from the window that shows the archive.
struct EditingHost {
    // The archive shown now, or null.
    std::function<std::shared_ptr<const ArchiveIndex>()> index;
    // Lets go of every handle on the archive: Windows cannot replace a file
    // that is open.
    std::function<void()> release;
    // Reads the archive again, keeping the chosen folder and selection where
    // they still exist.
    std::function<void()> reload;
    // A short note in the status line.
    std::function<void(const QString&)> status;
    // True while another job runs.
    std::function<bool()> busy;
    // Runs work on a worker thread with a progress dialog; work gets the
    // progress callback and returns the summary, which done gets back on the
    // user-interface thread.
    using Work = std::function<QString(const std::function<void(qint64, qint64)>& progress)>;
    std::function<void(const QString& title, Work work, std::function<void(const QString&)> done)>
        run;
};

// Changes the shown archive: an entry edited in the program the system has
// for its type and written back when saved, files dropped onto entries and
// folders, entries deleted. Every change asks first, and is written at once
// through the engine's update, which replaces the archive only when the new
// one is complete. An archive changed by someone else since it was read is
// read again, and the question asked again, before anything is written.
class ArchiveEditor : public QObject {
    Q_OBJECT

  public:
    // text is the question, detail what it concerns; checkBox, when not
    // empty, offers to stop asking.
    using Asker = std::function<EditAnswer(const QString& text, const QString& detail,
                                           const QString& checkBox)>;
    using Opener = std::function<bool(const QUrl&)>;

    ArchiveEditor(EditingHost host, QWidget* window);
    ~ArchiveEditor() override;

    // For tests: answer the questions and open the files without a person.
    void setAsker(Asker asker) { asker_ = std::move(asker); }
    void setOpener(Opener opener) { opener_ = std::move(opener); }

    // To be called before the archive is read: writes are checked against
    // its size and time now. Edits of another archive end here.
    void archiveOpened(const std::filesystem::path& archive);

    void editExternally(int entry);
    void replaceEntry(int entry, const QString& file);
    // Files and folders (with everything below them) into folder of the index.
    void addFiles(int folder, const QStringList& paths);
    // Stored names; a folder's ends in "\" and takes everything below it.
    void removeEntries(const std::vector<std::u16string>& names);

    // Another job ended: saves noticed meanwhile are looked at now.
    void resume();

    // The file an entry is edited in, empty when it is not. For tests.
    QString editedFile(const std::u16string& name) const;

  signals:
    // An update ran (or failed) and the archive was read again.
    void written(const QString& summary);

  private:
    struct Stamp {
        bool exists = false;
        std::uintmax_t size = 0;
        std::filesystem::file_time_type time{};
        bool operator==(const Stamp&) const = default;
    };
    struct Edit {
        std::u16string name;
        QString file;
        Stamp seen;
        bool automatic = false;
    };
    struct Proposal {
        QString title;
        QString text;
        QString detail;
        QString checkBox;
        std::vector<archive::EntryUpdate> changes;
    };

    static Stamp stampOf(const std::filesystem::path& path);
    bool reloadIfChangedOutside();
    // Asks (unless ask is false and nothing changed outside), then writes;
    // false when nothing is written.
    bool propose(const Proposal& proposal, bool ask, bool* always);
    void write(const QString& title, std::vector<archive::EntryUpdate> changes);
    void open(const Edit& edit);
    void rewatch();
    void checkEdits();
    EditAnswer askWithBox(const QString& text, const QString& detail, const QString& checkBox);

    EditingHost host_;
    QWidget* window_;
    Asker asker_;
    Opener opener_;
    std::filesystem::path archive_;
    Stamp stamp_;
    std::unique_ptr<QTemporaryDir> folder_;
    int made_ = 0;
    std::vector<Edit> edits_;
    QFileSystemWatcher* watcher_;
    QTimer* settle_;
    bool asking_ = false;
    bool writing_ = false;
    bool waiting_ = false;  // a save came while busy
};

}  // namespace tessapak::app::browser
