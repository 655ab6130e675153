// Changing an archive from the browser, offscreen: an entry edited elsewhere
// and saved, files dropped onto entries and folders, entries deleted, and an
// archive that someone else changed meanwhile.
#include <gtest/gtest.h>

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTreeView>
#include <utility>

#include "app/browser/archive_editing.h"
#include "app/browser/archive_model.h"
#include "app/browser/browser_window.h"
#include "app/browser/comparison.h"
#include "app/host_paths.h"
#include "archive/archive_test_support.h"
#include "archive/entry_reader.h"

namespace tessapak::app::browser {
namespace {

using archive::testing::RawArchive;
using archive::testing::readFile;
using archive::testing::TempFolder;
using archive::testing::writeFile;
namespace fs = std::filesystem;

using Entries = std::vector<std::pair<std::u16string, std::string>>;

// Every entry of an archive in its order, read through the engine.
Entries entriesOf(const fs::path& path) {
    archive::ArchiveReader reader(path);
    reader.readDirectory();
    const archive::EntryReader bytes(reader);
    Entries entries;
    for (std::size_t i = 0; i < reader.entries().size(); ++i) {
        entries.emplace_back(reader.entries()[i].Name, bytes.readAll(i, 1 << 20));
    }
    return entries;
}

class BrowserEditing : public ::testing::Test {
  protected:
    void SetUp() override {
        RawArchive skin;
        skin.entries = {
            {u"a.txt", "alpha"}, {u"皮肤\\按钮.png", "old picture"}, {u"皮肤\\说明.txt", "notes"}};
        writeFile(archivePath(), skin.bytes());
        window.resize(1000, 640);
        window.show();
        window.openArchive(fromHostPath(archivePath()));
        window.editor()->setOpener([this](const QUrl& url) {
            opened << url.toLocalFile();
            return true;
        });
        window.editor()->setAsker(
            [this](const QString& text, const QString& detail, const QString& checkBox) {
                questions.push_back({text, detail, checkBox});
                EXPECT_FALSE(answers.empty()) << text.toStdString();
                if (answers.empty()) {
                    return EditAnswer{};
                }
                auto answer = answers.front();
                answers.erase(answers.begin());
                return answer();
            });
    }

    fs::path archivePath() const { return dir / "skin.rdb"; }

    void chooseFolder(const QString& shown) {
        const QModelIndex top = window.folderModel()->index(0, 0);
        for (int row = 0; row < window.folderModel()->rowCount(top); ++row) {
            const QModelIndex folder = window.folderModel()->index(row, 0, top);
            if (folder.data().toString() == shown) {
                window.folderView()->setCurrentIndex(folder);
                return;
            }
        }
        ADD_FAILURE() << "no folder " << shown.toStdString();
    }

    QModelIndex fileRow(const QString& shown) const {
        const QAbstractItemModel* rows = window.fileView()->model();
        for (int row = 0; row < rows->rowCount(); ++row) {
            if (rows->index(row, 0).data().toString() == shown) {
                return rows->index(row, 0);
            }
        }
        return {};
    }

    void chooseFile(const QString& shown) {
        const QModelIndex row = fileRow(shown);
        ASSERT_TRUE(row.isValid()) << shown.toStdString();
        window.fileView()->selectionModel()->setCurrentIndex(
            row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    QAction* action(const QString& text) const {
        for (QAction* action : window.fileView()->actions()) {
            if (action->text() == text) {
                return action;
            }
        }
        return nullptr;
    }

    // Drags the local paths over point of the window and drops them there.
    void drop(const QStringList& paths, QPoint point) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& path : paths) {
            urls << QUrl::fromLocalFile(path);
        }
        mime.setUrls(urls);
        QDragEnterEvent enter(point, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(&window, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDragMoveEvent move(point, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(&window, &move);
        ASSERT_TRUE(move.isAccepted());
        QDropEvent dropped(point, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(&window, &dropped);
    }

    QPoint pointOf(QAbstractItemView* view, const QModelIndex& index) const {
        return view->viewport()->mapTo(&window, view->visualRect(index).center());
    }

    struct Question {
        QString text, detail, checkBox;
    };

    TempFolder dir;
    BrowserWindow window;
    QStringList opened;
    std::vector<Question> questions;
    std::vector<std::function<EditAnswer()>> answers;
};

EditAnswer yes(bool always = false) {
    return {true, always};
}

// Saves the way many editors do: a new file renamed over the old one.
void saveByRename(const QString& file, const std::string& bytes) {
    const fs::path path = toHostPath(file);
    const fs::path fresh = path.parent_path() / "saving.tmp";
    writeFile(fresh, bytes);
    fs::rename(fresh, path);
}

TEST_F(BrowserEditing, AnEntrySavedInItsProgramIsWrittenBackAndThenOnEverySaveWhenAsked) {
    chooseFolder(QStringLiteral("皮肤"));
    chooseFile(QStringLiteral("按钮.png"));
    QAction* edit = action(QStringLiteral("用默认程序编辑"));
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(edit->isEnabled());
    edit->trigger();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened.front().endsWith(QStringLiteral("/按钮.png")))
        << opened.front().toStdString();
    EXPECT_EQ(readFile(toHostPath(opened.front())), "old picture");

    QSignalSpy written(window.editor(), &ArchiveEditor::written);
    answers.push_back([] { return yes(true); });
    saveByRename(opened.front(), "new picture, longer");
    ASSERT_TRUE(written.wait(10000));
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].text, QStringLiteral("一个条目已修改，更新皮肤包？"));
    EXPECT_TRUE(questions[0].detail.contains(QStringLiteral("皮肤/按钮.png")));
    EXPECT_FALSE(questions[0].checkBox.isEmpty());
    const Entries once{{u"a.txt", "alpha"},
                       {u"皮肤\\按钮.png", "new picture, longer"},
                       {u"皮肤\\说明.txt", "notes"}};
    EXPECT_EQ(entriesOf(archivePath()), once);
    // Read again, the window is where it was.
    EXPECT_EQ(window.folderView()->currentIndex().data().toString(), QStringLiteral("皮肤"));
    EXPECT_EQ(window.fileView()->currentIndex().data().toString(), QStringLiteral("按钮.png"));

    // The box was ticked: the next save goes in without a question, though
    // the first save's rename ended the watch on the file it replaced and
    // this one writes in place.
    writeFile(toHostPath(opened.front()), "third");
    ASSERT_TRUE(written.wait(10000));
    EXPECT_EQ(questions.size(), 1u);
    const Entries twice{
        {u"a.txt", "alpha"}, {u"皮肤\\按钮.png", "third"}, {u"皮肤\\说明.txt", "notes"}};
    EXPECT_EQ(entriesOf(archivePath()), twice);
}

TEST_F(BrowserEditing, DroppedFilesReplaceAnEntryOrGoIntoAFolderAndDeleteRemovesTheChosen) {
    QSignalSpy written(window.editor(), &ArchiveEditor::written);
    writeFile(dir / "in" / "new notes.txt", "replaced");
    chooseFolder(QStringLiteral("皮肤"));
    answers.push_back([] { return yes(); });
    drop({fromHostPath(dir / "in" / "new notes.txt")},
         pointOf(window.fileView(), fileRow(QStringLiteral("说明.txt"))));
    ASSERT_TRUE(written.wait(10000));
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].text, QStringLiteral("用“new notes.txt”替换条目“皮肤/说明.txt”？"));
    Entries expected{
        {u"a.txt", "alpha"}, {u"皮肤\\按钮.png", "old picture"}, {u"皮肤\\说明.txt", "replaced"}};
    EXPECT_EQ(entriesOf(archivePath()), expected);

    // A folder dropped onto a folder of the tree goes in whole below it.
    writeFile(dir / "more" / "x.png", "x");
    writeFile(dir / "more" / "deep" / "y.png", "yy");
    answers.push_back([] { return yes(); });
    const QModelIndex top = window.folderModel()->index(0, 0);
    drop({fromHostPath(dir / "more")},
         pointOf(window.folderView(), window.folderModel()->index(0, 0, top)));
    ASSERT_TRUE(written.wait(10000));
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[1].text, QStringLiteral("把 2 个文件添加到“皮肤”？"));
    expected.emplace_back(u"皮肤\\more\\x.png", "x");
    expected.emplace_back(u"皮肤\\more\\deep\\y.png", "yy");
    Entries after = entriesOf(archivePath());
    std::sort(after.begin(), after.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(after, expected);

    // Delete takes the chosen entries, after saying which.
    chooseFolder(QStringLiteral("皮肤"));
    chooseFile(QStringLiteral("按钮.png"));
    answers.push_back([] { return yes(); });
    QAction* remove = action(QStringLiteral("删除"));
    ASSERT_NE(remove, nullptr);
    EXPECT_EQ(remove->shortcut(), QKeySequence(QKeySequence::Delete));
    remove->trigger();
    ASSERT_TRUE(written.wait(10000));
    ASSERT_EQ(questions.size(), 3u);
    EXPECT_EQ(questions[2].text, QStringLiteral("删除条目“皮肤/按钮.png”？"));
    std::erase_if(expected, [](const auto& entry) { return entry.first == u"皮肤\\按钮.png"; });
    after = entriesOf(archivePath());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, expected);
}

// The marks of a comparison follow a change made while it is shown.
TEST_F(BrowserEditing, AChangeMadeWhileComparingIsComparedAgain) {
    fs::copy_file(archivePath(), dir / "shipped.rdb");
    window.compareWith(fromHostPath(dir / "shipped.rdb"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.comparison() != nullptr; }, 10000));
    EXPECT_TRUE(window.comparison()->removed().empty());

    QSignalSpy written(window.editor(), &ArchiveEditor::written);
    chooseFolder(QStringLiteral("皮肤"));
    chooseFile(QStringLiteral("按钮.png"));
    answers.push_back([] { return yes(); });
    action(QStringLiteral("删除"))->trigger();
    ASSERT_TRUE(written.wait(10000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.comparison() && window.comparison()->removed().size() == 1; }, 10000));
    EXPECT_EQ(window.comparison()->removed()[0].path, QStringLiteral("皮肤/按钮.png"));
}

// While the question stood open another program wrote the archive: what it
// wrote is shown and the question asked again; a no leaves its bytes alone.
TEST_F(BrowserEditing, AnArchiveChangedElsewhereIsReadAgainAndAskedAgainNotWrittenOver) {
    RawArchive other;
    other.entries = {{u"a.txt", "written elsewhere"}, {u"新\\b.txt", "b"}};
    const std::string otherBytes = other.bytes();
    answers.push_back([&] {
        writeFile(archivePath(), otherBytes);
        return yes();
    });
    answers.push_back([] { return EditAnswer{}; });
    window.editor()->removeEntries({u"a.txt"});
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[1].text, questions[0].text);
    EXPECT_TRUE(questions[1].detail.contains(QStringLiteral("已重新载入")));
    EXPECT_TRUE(window.statusBar()->currentMessage().contains(QStringLiteral("已重新载入")));
    EXPECT_EQ(readFile(archivePath()), otherBytes);
    EXPECT_EQ(window.folderModel()->rowCount(window.folderModel()->index(0, 0)), 1);
    EXPECT_EQ(window.folderModel()->index(0, 0, window.folderModel()->index(0, 0)).data(),
              QStringLiteral("新"));

    // Changed before anything was asked: read again first, so the question
    // is about what is there now, and the yes writes onto that.
    RawArchive third;
    third.entries = {{u"a.txt", "third"}, {u"c.txt", "c"}};
    writeFile(archivePath(), third.bytes());
    QSignalSpy written(window.editor(), &ArchiveEditor::written);
    answers.push_back([] { return yes(); });
    window.editor()->removeEntries({u"a.txt"});
    ASSERT_TRUE(written.wait(10000));
    ASSERT_EQ(questions.size(), 3u);
    EXPECT_EQ(entriesOf(archivePath()), (Entries{{u"c.txt", "c"}}));
}

}  // namespace
}  // namespace tessapak::app::browser
