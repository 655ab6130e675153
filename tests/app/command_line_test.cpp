#include <QDir>
#include <QStringList>

#include "app/command_line.h"
#include "window_fixture.h"

namespace tessapak::app::testing {
namespace {

class StartPathInTheWindow : public WindowTest {};

TEST_F(StartPathInTheWindow, FillsThePanelOfWhatThePathIsOrSaysWhyNot) {
    writeExampleTree("tree");
    packTree("tree", "skins/blue.skin");
    writeFile("skins/蓝色.rdb", "x");
    writeFile("skins/notes.txt", "531E9820 is not enough");
    QDir().mkpath(path("trees/红"));

    struct Case {
        QString argument;  // relative ones are taken from the temporary folder
        QString archive;   // jbText1, jbText2, what the browser was asked to show
        QString target;
        QString folder;  // dbText1, dbText2
        QString output;
        QString message;
    };
    const QString sep = QDir::separator();
    const QList<Case> cases = {
        {"", "", "", "", "", ""},
        {"skins/蓝色.rdb", path("skins/蓝色.rdb"), path("skins"), "", "", ""},
        {path("skins/blue.skin"), path("skins/blue.skin"), path("skins"), "", "", ""},
        {"trees" + sep + "红" + sep, "", "", path("trees/红"), path("trees/红") + ".rdb", ""},
        {"skins/../trees/红", "", "", path("trees/红"), path("trees/红") + ".rdb", ""},
        {"skins/notes.txt", "", "", "", "",
         path("skins/notes.txt") + " 既不是 rdb 皮肤文件，也不是文件夹，无法打开。 "},
        {"gone.rdb", "", "", "", "", "找不到 " + path("gone.rdb") + " ，请检查路径是否正确。 "},
    };

    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument.toStdString());
        form = std::make_unique<MainWindow>(Platform{&messages, &dialogs, &urls});
        messages.clear();
        QStringList shown;
        openStartPath(*form, classifyStartPath(c.argument), messages,
                      [&](const QString& archive) { shown.append(archive); });

        EXPECT_EQ(box("jbText1")->text(), c.archive);
        EXPECT_EQ(box("jbText2")->text(), c.target);
        EXPECT_EQ(shown, c.archive.isEmpty() ? QStringList() : QStringList{c.archive});
        EXPECT_EQ(box("dbText1")->text(), c.folder);
        EXPECT_EQ(box("dbText2")->text(), c.output);
        if (c.message.isEmpty()) {
            EXPECT_TRUE(messages.shown().isEmpty());
        } else {
            expectOnlyMessage(c.message, "无法打开", platform::MessageIcon::Exclamation);
        }
    }
    QDir::setCurrent(before);
}

}  // namespace
}  // namespace tessapak::app::testing
