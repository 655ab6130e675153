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
    EXPECT_EQ(messages.shown().size(), 2);
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
