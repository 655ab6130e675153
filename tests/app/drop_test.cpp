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

TEST_F(DropOnPanels, ADroppedFileFollowsTheRdbRuleWithoutReopeningADialog) {
    writeFile("skins/blue.dat", "x");
    EXPECT_TRUE(drop(control<QGroupBox>("jbFrame"), path("skins/blue.dat")));
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown()[0].text,
              "文件 " + path("skins/blue.dat.rdb") + " 不存在，请验证输入是否正确！ ");
    EXPECT_TRUE(box("jbText1")->text().isEmpty());
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
