#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QMimeData>
#include <QUrl>

#include "window_fixture.h"

namespace tessapak::app::testing {
namespace {

class DropOnPanels : public WindowTest {
  protected:
    // Drags the local path over target and drops it; returns whether the
    // drag was taken.
    bool drop(QWidget* target, const QString& localPath) {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(localPath)});
        mime.setText(QUrl::fromLocalFile(localPath).toString());
        const QPoint point = target->rect().center();
        QDragEnterEvent enter(point, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) {
            return false;
        }
        QDropEvent dropped(point, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(target, &dropped);
        return dropped.isAccepted();
    }
};

TEST_F(DropOnPanels, AnArchiveDroppedOnTheUnpackPanelFillsBothBoxes) {
    writeFile("skins/blue.rdb", "x");
    EXPECT_TRUE(drop(control<QGroupBox>("jbFrame"), path("skins/blue.rdb")));
    EXPECT_EQ(box("jbText1")->text(), path("skins/blue.rdb"));
    EXPECT_EQ(box("jbText2")->text(), path("skins"));

    writeFile("other/red.RDB", "x");
    EXPECT_TRUE(drop(box("jbText1"), path("other/red.RDB")));
    EXPECT_EQ(box("jbText1")->text(), path("other/red.RDB"));
    EXPECT_EQ(box("jbText2")->text(), path("other"));
    EXPECT_TRUE(dialogs.asked().isEmpty());
}

// Only an archive goes onto the unpack panel and only a folder onto the pack
// panel, the path boxes included: anything else is refused while dragging,
// so the cursor says no, and changes nothing.
TEST_F(DropOnPanels, EachPanelTakesOnlyItsKindOfPath) {
    writeFile("skins/blue.dat", "x");
    writeFile("skins/notes.txt", "x");
    writeFile("skins/red.rdb", "x");
    QDir().mkpath(path("skins/folder.rdb"));
    struct Case {
        const char* target;
        QString dropped;
        bool taken;
    };
    const Case cases[] = {
        {"jbFrame", path("skins/blue.dat"), false},   {"jbText1", path("skins/notes.txt"), false},
        {"jbText2", path("skins/folder.rdb"), false}, {"dbText1", path("skins/red.rdb"), false},
        {"dbFrame", path("skins/notes.txt"), false},  {"dbText2", path("skins/folder.rdb"), true},
        {"jbText2", path("skins/red.rdb"), true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(drop(control<QWidget>(c.target), c.dropped), c.taken)
            << c.target << " " << c.dropped.toStdString();
    }
    EXPECT_EQ(box("jbText1")->text(), path("skins/red.rdb"));
    EXPECT_EQ(box("dbText1")->text(), path("skins/folder.rdb"));
    EXPECT_TRUE(messages.shown().isEmpty());
    EXPECT_TRUE(dialogs.asked().isEmpty());
}

TEST_F(DropOnPanels, AFolderDroppedOnThePackPanelProposesTheArchive) {
    QDir().mkpath(path("skins/blue"));
    box("dbText2")->setText("old.rdb");
    EXPECT_TRUE(drop(box("dbText2"), path("skins/blue") + "/"));
    EXPECT_EQ(box("dbText1")->text(), path("skins/blue"));
    EXPECT_EQ(box("dbText2")->text(), path("skins/blue") + ".rdb");
}

TEST_F(DropOnPanels, TheWrongKindOrABusyWindowRefusesTheDrop) {
    QDir().mkpath(path("folder"));
    writeFile("file.rdb", "x");
    EXPECT_FALSE(drop(control<QGroupBox>("jbFrame"), path("folder")));
    EXPECT_FALSE(drop(control<QGroupBox>("dbFrame"), path("file.rdb")));
    EXPECT_FALSE(drop(control<QGroupBox>("dbFrame"), path("nothing")));

    form->disableControls();
    EXPECT_FALSE(drop(control<QGroupBox>("jbFrame"), path("file.rdb")));
    EXPECT_FALSE(drop(control<QGroupBox>("dbFrame"), path("folder")));
    for (const char* name : {"jbText1", "jbText2", "dbText1", "dbText2"}) {
        EXPECT_TRUE(box(name)->text().isEmpty()) << name;
    }
}

}  // namespace
}  // namespace tessapak::app::testing
