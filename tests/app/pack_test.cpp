#include <QDir>
#include <QTest>

#include "support/archive_writer.h"
#include "window_fixture.h"

namespace tessapak::app::testing {
namespace {

using platform::MessageIcon;

// The 105 bytes of the format's worked example.
QByteArray exampleArchive() {
    return QByteArray::fromStdString(::tessapak::testing::exampleArchive().bytes());
}

class PackFromTheWindow : public WindowTest {
  protected:
    void startPack(const QString& folder, const QString& output) {
        box("dbText1")->setText(folder);
        box("dbText2")->setText(output);
        click(button("dbbtn"));
    }
    QString failureText() const {
        return messages.shown().isEmpty() ? QString() : messages.shown().last().text;
    }
};

TEST_F(PackFromTheWindow, WritesTheWorkedExampleWithProgressInOrderWhileBusy) {
    writeExampleTree("blue");
    recordRun();

    startPack(path("blue"), path("blue.rdb"));

    EXPECT_EQ(readFile("blue.rdb"), exampleArchive());
    EXPECT_EQ(dbLabels(pumps),
              QStringList({"开始打包...", "文件总数: 2 ,正在处理.1", "文件总数: 2 ,正在处理.2"}));
    EXPECT_TRUE(allBusy(pumps));
    expectOnlyMessage("打包完成！ ", "成功", MessageIcon::None);
    ASSERT_EQ(atMessages.size(), 1);
    EXPECT_EQ(atMessages[0].dbLabel, "完成打包。");
    EXPECT_TRUE(allBusy(atMessages));
    EXPECT_TRUE(form->packList().FileNames.empty());
    EXPECT_FALSE(snapshot().enabled.contains(false));
}

TEST_F(PackFromTheWindow, TheStatusLineFitsItsTextAtEveryFile) {
    for (int i = 0; i < 12; ++i) {
        writeFile(QStringLiteral("many/f%1.txt").arg(i, 2, 10, QLatin1Char('0')), "x");
    }
    recordRun();
    startPack(path("many"), path("many.rdb"));

    const QStringList seen = dbLabels(pumps);
    ASSERT_EQ(seen.size(), 13);
    EXPECT_EQ(seen[9], "文件总数: 12 ,正在处理.9");
    EXPECT_EQ(seen[12], "文件总数: 12 ,正在处理.12");
    for (const Snapshot& shot : pumps) {
        EXPECT_TRUE(shot.labelsFit) << shot.dbLabel.toStdString();
    }
}

TEST_F(PackFromTheWindow, EmptyPathsStopBeforeTheBusyState) {
    recordRun();
    box("dbText2")->setText(path("x.rdb"));
    click(button("dbbtn"));
    expectOnlyMessage("目录不能为空，请先选择打包目录！ ", "信息提示", MessageIcon::Exclamation);

    messages.clear();
    box("dbText1")->setText(path("blue"));
    box("dbText2")->clear();
    click(button("dbbtn"));
    expectOnlyMessage("输出文件不能为空！ ", "信息提示", MessageIcon::Exclamation);
    EXPECT_TRUE(dbLabels(pumps).isEmpty());
    EXPECT_FALSE(exists("x.rdb"));
}

TEST_F(PackFromTheWindow, AddsTheExtensionOnlyWhenMissingAndReplacesAnOldFile) {
    writeExampleTree("blue");
    writeFile("old.RDB", QByteArray(4096, 'x'));

    startPack(path("blue"), path("new"));
    EXPECT_EQ(readFile("new.rdb"), exampleArchive());
    EXPECT_EQ(box("dbText2")->text(), path("new"));

    startPack(path("blue"), path("old.RDB"));
    EXPECT_EQ(readFile("old.RDB"), exampleArchive());
    EXPECT_FALSE(exists("old.RDB.rdb"));
    // Done, then the replace question (answered Yes), then done.
    ASSERT_EQ(messages.shown().size(), 3);
    EXPECT_EQ(messages.shown()[1].text, "是否替换已存在的文件  " + path("old.RDB"));
}

// The archive a folder was unpacked from sits right where 开始打包 would
// write: it is replaced only after a Yes, asked once per name; a name already
// confirmed in the save dialog is not asked about again.
TEST_F(PackFromTheWindow, AnExistingArchiveIsReplacedOnlyAfterTheQuestion) {
    writeExampleTree("blue");
    writeFile("blue.rdb", "the archive blue was unpacked from");
    recordRun();

    messages.answerNext(platform::MessageAnswer::No);
    startPack(path("blue"), path("blue.rdb"));
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown()[0].text, "是否替换已存在的文件  " + path("blue.rdb"));
    EXPECT_EQ(messages.shown()[0].title, "文件已存在");
    EXPECT_EQ(messages.shown()[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(messages.shown()[0].buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(readFile("blue.rdb"), "the archive blue was unpacked from");
    EXPECT_TRUE(dbLabels(pumps).isEmpty()) << "No ends the run before it starts";

    messages.clear();
    startPack(path("blue"), path("blue.rdb"));
    EXPECT_EQ(readFile("blue.rdb"), exampleArchive());
    ASSERT_EQ(messages.shown().size(), 2);
    EXPECT_EQ(messages.shown()[1].text, "打包完成！ ");

    writeFile("picked.rdb", "old");
    dialogs.answerNext(path("picked.rdb"));
    click(button("dbbtn2"));
    messages.clear();
    click(button("dbbtn"));
    expectOnlyMessage("打包完成！ ", "成功", MessageIcon::None);
    EXPECT_EQ(readFile("picked.rdb"), exampleArchive());
}

// An output that names a folder would make a strange archive beside it or a
// nameless one inside it; blanks after a name are never part of it.
TEST_F(PackFromTheWindow, AnOutputThatIsAFolderIsRefusedAndTrailingBlanksAreDropped) {
    writeExampleTree("blue");
    QDir().mkpath(path("out"));
    QDir().mkpath(path("dir.rdb"));
    const QString separator = QDir::separator();
    struct Case {
        QString output;
        QString text;
    };
    const Case cases[] = {
        {path("out"), "输出文件 " + path("out") + " 是一个文件夹，请输入 .rdb 文件的名称！ "},
        {path("dir"), "输出文件 " + path("dir.rdb") + " 是一个文件夹，请输入 .rdb 文件的名称！ "},
        {path("out") + separator,
         "输出文件 " + path("out") + separator + " 没有文件名，请输入 .rdb 文件的名称！ "},
    };
    for (const Case& c : cases) {
        messages.clear();
        startPack(path("blue"), c.output);
        expectOnlyMessage(c.text, "信息提示", MessageIcon::Exclamation);
    }
    EXPECT_FALSE(exists("out.rdb"));
    EXPECT_TRUE(QDir(path("out")).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    // The path is cut in the middle when the temporary folder's is long (under wine).
    const QString status = label("dbLabel")->text();
    const QString whole = "打包失败：输出文件 " + path("out") + separator + " 没有文件名";
    EXPECT_TRUE(status == whole ||
                (status.startsWith("打包失败：输出文件 ") && status.contains(QChar(u'…')) &&
                 status.endsWith("out" + separator + " 没有文件名")))
        << status.toStdString();

    messages.clear();
    startPack(" " + path("blue") + " ", path("out/sp.rdb") + "  ");
    expectOnlyMessage("打包完成！ ", "成功", MessageIcon::None);
    EXPECT_EQ(readFile("out/sp.rdb"), exampleArchive());
    EXPECT_EQ(box("dbText2")->text(), path("out/sp.rdb"));
    EXPECT_EQ(QDir(path("out")).entryList(QDir::Files | QDir::Hidden), QStringList({"sp.rdb"}));
}

TEST_F(PackFromTheWindow, AnArchiveInsideThePackedFolderIsNotPackedIntoItself) {
    writeExampleTree("blue");
    startPack(path("blue"), path("blue/blue.rdb"));
    const QByteArray first = readFile("blue/blue.rdb");
    startPack(path("blue"), path("blue/blue.rdb"));

    EXPECT_EQ(first, exampleArchive());
    EXPECT_EQ(readFile("blue/blue.rdb"), first);
}

TEST_F(PackFromTheWindow, AMissingOutputFolderFailsNamingTheArchive) {
    writeExampleTree("blue");
    const QString output = path("no/such/folder/blue.rdb");

    startPack(path("blue"), output);

    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown()[0].title, "出错");
    EXPECT_EQ(messages.shown()[0].icon, MessageIcon::Critical);
    EXPECT_EQ(failureText(), "打包失败！未知错误 无法创建文件 " + output + "，所在的目录不存在");
    EXPECT_FALSE(exists("no"));
    EXPECT_FALSE(snapshot().enabled.contains(false));
    // Not "开始打包..." any more: the status line says what failed.
    const QString status = label("dbLabel")->text();
    EXPECT_TRUE(status.startsWith("打包失败：无法创建文件 ")) << status.toStdString();
    EXPECT_TRUE(status.endsWith("，所在的目录不存在")) << status.toStdString();
    EXPECT_LE(label("dbLabel")->geometry().right(), button("dbbtn")->x());
}

TEST_F(PackFromTheWindow, AFolderThatDoesNotExistIsAFailureNotAnEmptyArchive) {
    startPack(path("nothing-here"), path("out.rdb"));
    EXPECT_EQ(failureText(), "打包失败！未知错误 打包目录 " + path("nothing-here") + " 不存在");
    EXPECT_FALSE(exists("out.rdb"));

    writeFile("plain.txt", "x");
    startPack(path("plain.txt"), path("out.rdb"));
    EXPECT_EQ(failureText(), "打包失败！未知错误 " + path("plain.txt") + " 不是目录");
    EXPECT_FALSE(exists("out.rdb"));
}

TEST_F(PackFromTheWindow, AnEmptyFolderGivesTheBareHeader) {
    QDir().mkpath(path("empty/sub"));
    startPack(path("empty"), path("empty.rdb"));
    EXPECT_EQ(readFile("empty.rdb").size(), 36);
    expectOnlyMessage("打包完成！ ", "成功", MessageIcon::None);
}

TEST_F(PackFromTheWindow, AFailedRunDoesNotChangeTheNextResult) {
    writeExampleTree("blue");
    startPack(path("blue"), path("missing/out.rdb"));
    startPack(path("blue"), path("out.rdb"));
    EXPECT_EQ(readFile("out.rdb"), exampleArchive());
}

}  // namespace
}  // namespace tessapak::app::testing
