#include <QDir>

#include "app/host_paths.h"
#include "window_fixture.h"

namespace tessapak::app::testing {
namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;
using Kind = platform::ScriptedFileDialogs::Kind;

class PathPickers : public WindowTest {};

TEST_F(PathPickers, TheArchivePickerKeepsAnyCaseOfRdbAndFillsTheFolder) {
    writeFile("skins/a.RDB", "x");
    dialogs.answerNext(path("skins/a.RDB"));

    click(button("jbbtn1"));

    ASSERT_EQ(dialogs.asked().size(), 1);
    EXPECT_EQ(dialogs.asked()[0].kind, Kind::Open);
    EXPECT_EQ(dialogs.asked()[0].title, "选择一个文件");
    EXPECT_EQ(dialogs.asked()[0].filter, "rdb文件 (*.rdb)");
    EXPECT_EQ(box("jbText1")->text(), path("skins/a.RDB"));
    EXPECT_EQ(box("jbText2")->text(), path("skins"));
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(PathPickers, TheArchivePickerReportsAMissingRdbNameAndAsksAgain) {
    writeFile("skins/a.dat", "x");
    writeFile("skins/b.dat", "x");
    writeFile("skins/b.dat.rdb", "x");
    dialogs.answerNext(path("skins/a.dat"));
    dialogs.answerNext(path("skins/b.dat"));

    click(button("jbbtn1"));

    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown()[0].text,
              "文件 " + path("skins/a.dat.rdb") + " 不存在，请验证输入是否正确！ ");
    EXPECT_EQ(messages.shown()[0].title, "文件不存在");
    EXPECT_EQ(messages.shown()[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(dialogs.asked().size(), 2);
    EXPECT_EQ(box("jbText1")->text(), path("skins/b.dat.rdb"));
}

TEST_F(PathPickers, AHiddenArchiveCountsAsMissingAndCancelChangesNothing) {
    writeFile("skins/.hidden.rdb", "x");
    box("jbText1")->setText("before");
    box("jbText2")->setText("before too");
    dialogs.answerNext(path("skins/.hidden.rdb"));
    dialogs.cancelNext();

    click(button("jbbtn1"));

    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown()[0].title, "文件不存在");
    EXPECT_EQ(dialogs.asked().size(), 2);
    EXPECT_EQ(box("jbText1")->text(), "before");
    EXPECT_EQ(box("jbText2")->text(), "before too");
}

TEST_F(PathPickers, AFileInTheRootGivesTheRootAsItsFolder) {
    EXPECT_EQ(containingFolder("/x.rdb"), QDir::toNativeSeparators("/"));
    EXPECT_EQ(containingFolder("/skins/x.rdb"), QDir::toNativeSeparators("/skins"));
    EXPECT_EQ(containingFolder(path("a/b/c.rdb")), path("a/b"));
}

TEST_F(PathPickers, TheFolderPickersFillTheirBoxesAndProposeTheArchiveName) {
    box("dbText2")->setText("something else.rdb");
    dialogs.answerNext(path("out"));
    dialogs.answerNext(path("skins/blue"));

    click(button("jbbtn2"));
    click(button("dbbtn1"));

    ASSERT_EQ(dialogs.asked().size(), 2);
    for (const auto& asked : dialogs.asked()) {
        EXPECT_EQ(asked.kind, Kind::Folder);
        EXPECT_EQ(asked.title, "选择目录...");
    }
    EXPECT_EQ(box("jbText2")->text(), path("out"));
    EXPECT_EQ(box("dbText1")->text(), path("skins/blue"));
    EXPECT_EQ(box("dbText2")->text(), path("skins/blue") + ".rdb");

    click(button("dbbtn1"));  // cancelled
    EXPECT_EQ(box("dbText1")->text(), path("skins/blue"));
}

TEST_F(PathPickers, TheOutputPickerAsksBeforeAnExistingArchive) {
    writeFile("out.rdb", "old");
    box("dbText2")->setText("unchanged");
    dialogs.answerNext(path("out.rdb"));
    messages.answerNext(MessageAnswer::No);

    click(button("dbbtn2"));

    ASSERT_EQ(dialogs.asked().size(), 1);
    EXPECT_EQ(dialogs.asked()[0].kind, Kind::Save);
    EXPECT_EQ(dialogs.asked()[0].title, "选择一个文件");
    EXPECT_EQ(dialogs.asked()[0].filter, "rdb文件 (*.rdb)");
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown()[0].text, "是否替换已存在的文件  " + path("out.rdb"));
    EXPECT_EQ(messages.shown()[0].title, "文件已存在");
    EXPECT_EQ(messages.shown()[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(messages.shown()[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(box("dbText2")->text(), "unchanged");

    dialogs.answerNext(path("out.rdb"));
    messages.answerNext(MessageAnswer::Yes);
    click(button("dbbtn2"));
    EXPECT_EQ(box("dbText2")->text(), path("out.rdb"));
}

TEST_F(PathPickers, TheOutputPickerAddsTheExtensionAndAsksOnlyAboutTheFileItWillWrite) {
    writeFile("out", "a file without extension");
    dialogs.answerNext(path("out"));
    click(button("dbbtn2"));
    EXPECT_TRUE(messages.shown().isEmpty());
    EXPECT_EQ(box("dbText2")->text(), path("out.rdb"));

    writeFile("kept.rdb", "would be replaced by packing kept");
    dialogs.answerNext(path("kept"));
    messages.answerNext(MessageAnswer::No);
    click(button("dbbtn2"));
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown()[0].text, "是否替换已存在的文件  " + path("kept.rdb"));
    EXPECT_EQ(box("dbText2")->text(), path("out.rdb"));

    dialogs.answerNext(path("new.RDB"));
    click(button("dbbtn2"));
    EXPECT_EQ(box("dbText2")->text(), path("new.RDB"));
    EXPECT_EQ(messages.shown().size(), 1);
}

TEST_F(PathPickers, TheOutputPickerAsksAboutAHiddenFileToo) {
    writeFile(".secret.rdb", "keep me");
    dialogs.answerNext(path(".secret.rdb"));
    messages.answerNext(MessageAnswer::No);
    click(button("dbbtn2"));
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown()[0].title, "文件已存在");
    EXPECT_TRUE(box("dbText2")->text().isEmpty());
}

TEST_F(PathPickers, BrowseButtonsDoNothingInTheBusyState) {
    form->disableControls();
    for (const char* name : {"jbbtn1", "jbbtn2", "dbbtn1", "dbbtn2"}) {
        click(button(name));
    }
    EXPECT_TRUE(dialogs.asked().isEmpty());
    form->enableControls();
    click(button("jbbtn2"));
    EXPECT_EQ(dialogs.asked().size(), 1);
}

TEST(PathRules, RdbExtensionAndNulCutAndVisibility) {
    EXPECT_TRUE(hasRdbExtension("a.rdb"));
    EXPECT_TRUE(hasRdbExtension("a.RdB"));
    EXPECT_FALSE(hasRdbExtension("a.rdb.bak"));
    EXPECT_FALSE(hasRdbExtension("rdb"));
    EXPECT_EQ(cutAtNul(QStringLiteral("a.rdb") + QChar(u'\0') + "junk"), "a.rdb");
    EXPECT_EQ(cutAtNul("plain"), "plain");

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_FALSE(visibleFileExists(dir.path()));  // a folder is not a file
    QFile hidden(dir.filePath(".h.rdb"));
    ASSERT_TRUE(hidden.open(QIODevice::WriteOnly));
    hidden.close();
    EXPECT_FALSE(visibleFileExists(hidden.fileName()));
    EXPECT_TRUE(anyFileExists(hidden.fileName()));
}

}  // namespace
}  // namespace tessapak::app::testing
