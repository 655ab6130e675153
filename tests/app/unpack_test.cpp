#include <QDir>
#include <QTest>

#include "window_fixture.h"

namespace tessapak::app::testing {
namespace {

using platform::MessageIcon;

class UnpackFromTheWindow : public WindowTest {
  protected:
    void startUnpack(const QString& archive, const QString& folder) {
        box("jbText1")->setText(archive);
        box("jbText2")->setText(folder);
        click(button("jbbtn"));
    }
    void expectIdle() {
        EXPECT_FALSE(form->isRunning());
        EXPECT_FALSE(snapshot().enabled.contains(false));
    }
};

TEST_F(UnpackFromTheWindow, ExtractsATreeWithProgressInOrderWhileBusy) {
    writeExampleTree("blue");
    packTree("blue", "skins/blue.rdb");
    QDir().mkpath(path("out"));
    recordRun();

    startUnpack(path("skins/blue.rdb"), path("out"));

    EXPECT_EQ(readFile("out/blue/a.txt"), "abc");
    EXPECT_EQ(readFile("out/blue/img/b.png"), "hi");
    EXPECT_EQ(jbLabels(pumps),
              QStringList({"开始解包...", "文件总数: 2 ,正在处理.1", "文件总数: 2 ,正在处理.2"}));
    EXPECT_TRUE(allBusy(pumps));
    expectOnlyMessage("解包完成！ ", "成功", MessageIcon::None);
    ASSERT_EQ(atMessages.size(), 1);
    EXPECT_EQ(atMessages[0].jbLabel, "完成解包。");
    EXPECT_TRUE(allBusy(atMessages));
    expectIdle();
}

TEST_F(UnpackFromTheWindow, EnterOnTheStartButtonRunsAndNumbersATakenFolder) {
    writeExampleTree("blue");
    packTree("blue", "blue.rdb");
    QDir().mkpath(path("out/blue"));
    box("jbText1")->setText(path("blue.rdb"));
    box("jbText2")->setText(path("out"));

    QTest::keyClick(button("jbbtn"), Qt::Key_Return);

    EXPECT_EQ(readFile("out/blue (1)/a.txt"), "abc");
    expectOnlyMessage("解包完成！ ", "成功", MessageIcon::None);
}

TEST_F(UnpackFromTheWindow, ChineseNamesInPathsAndEntriesGoBothWays) {
    writeFile("皮肤/蓝色/图片/按钮.png", "png");
    writeFile("皮肤/蓝色/说明.txt", "txt");
    QDir().mkpath(path("解出"));

    box("dbText1")->setText(path("皮肤/蓝色"));
    box("dbText2")->setText(path("皮肤/蓝色.rdb"));
    click(button("dbbtn"));
    startUnpack(path("皮肤/蓝色.rdb"), path("解出"));

    ASSERT_EQ(messages.shown().size(), 2);
    EXPECT_EQ(messages.shown()[1].text, "解包完成！ ");
    EXPECT_EQ(readFile("解出/蓝色/图片/按钮.png"), "png");
    EXPECT_EQ(readFile("解出/蓝色/说明.txt"), "txt");
}

TEST_F(UnpackFromTheWindow, AnEmptyPathStopsBeforeTheBusyState) {
    recordRun();
    box("jbText2")->setText(path("out"));
    click(button("jbbtn"));
    expectOnlyMessage("皮肤文件不能为空,请先选择文件！ ", "信息提示", MessageIcon::Exclamation);
    EXPECT_FALSE(atMessages[0].enabled.contains(false));

    messages.clear();
    atMessages.clear();
    box("jbText1")->setText(path("a.rdb"));
    box("jbText2")->clear();
    click(button("jbbtn"));
    expectOnlyMessage("解出目录不能为空！ ", "信息提示", MessageIcon::Exclamation);
    EXPECT_FALSE(atMessages[0].enabled.contains(false));
    EXPECT_TRUE(jbLabels(pumps).isEmpty());
    expectIdle();
}

TEST_F(UnpackFromTheWindow, AFileThatIsNotAnArchiveLeavesLabelAndDiskAlone) {
    writeExampleTree("blue");
    packTree("blue", "blue.rdb");
    QDir().mkpath(path("out"));
    startUnpack(path("blue.rdb"), path("out"));
    messages.clear();
    writeFile("notes.rdb", "this is not an RDB archive at all");

    startUnpack(path("notes.rdb"), path("out"));

    expectOnlyMessage("无法识别的文件类型！ ", "文件不支持", MessageIcon::Critical);
    EXPECT_EQ(label("jbLabel")->text(), "完成解包。");
    EXPECT_FALSE(exists("out/notes"));
    expectIdle();
}

TEST_F(UnpackFromTheWindow, ADamagedArchiveFailsBeforeAnythingIsCreated) {
    writeExampleTree("blue");
    packTree("blue", "blue.rdb");
    QByteArray bytes = readFile("blue.rdb");
    bytes.chop(1);  // the last entry now reaches past the end
    writeFile("cut.rdb", bytes);
    QDir().mkpath(path("out"));

    startUnpack(path("cut.rdb"), path("out"));

    expectOnlyMessage("解包失败！ 未知错误 ", "出错", MessageIcon::Critical);
    EXPECT_TRUE(QDir(path("out")).isEmpty());
    expectIdle();
    // The message stays as it is; the status line says what failed, and fits
    // beside the start button.
    const QString status = label("jbLabel")->text();
    EXPECT_TRUE(status.startsWith("解包失败：文件 ")) << status.toStdString();
    EXPECT_TRUE(status.endsWith(" 不完整")) << status.toStdString();
    EXPECT_LE(label("jbLabel")->geometry().right(), button("jbbtn")->x());
}

// What can be seen before anything is opened is said at once, naming the
// path, before the busy state; nothing is created.
TEST_F(UnpackFromTheWindow, PathsThatCannotWorkAreRefusedBeforeTheRun) {
    writeExampleTree("blue");
    packTree("blue", "blue.rdb");
    writeFile("plain.txt", "x");
    struct Case {
        QString archive;
        QString folder;
        QString text;
    };
    const Case cases[] = {
        {path("nowhere.rdb"), path("."),
         "皮肤文件 " + path("nowhere.rdb") + " 不存在，请检查路径！ "},
        {path("blue"), path("."),
         "皮肤文件 " + path("blue") + " 是一个文件夹，请选择 .rdb 文件！ "},
        {path("blue.rdb"), path("missing"),
         "解出目录 " + path("missing") + " 不存在，请检查路径！ "},
        {path("blue.rdb"), path("plain.txt"), "解出目录 " + path("plain.txt") + " 不是文件夹！ "},
    };
    recordRun();
    for (const Case& c : cases) {
        messages.clear();
        startUnpack(c.archive, c.folder);
        expectOnlyMessage(c.text, "信息提示", MessageIcon::Exclamation);
        // The status line says which path is wrong, too.
        EXPECT_EQ(label("jbLabel")->text().left(10), "解包失败：" + c.text.left(5));
    }
    EXPECT_TRUE(jbLabels(pumps).isEmpty()) << "no run started";
    EXPECT_FALSE(exists("nowhere.rdb"));
    EXPECT_FALSE(exists("missing"));
    expectIdle();
}

// A path pasted from Windows' 复制为路径 comes in double quotes, often with
// blanks around it; the box then shows it as it is used.
TEST_F(UnpackFromTheWindow, AQuotedPathWithBlanksIsCleanedAndUsed) {
    writeExampleTree("blue");
    packTree("blue", "blue.rdb");
    QDir().mkpath(path("out"));

    startUnpack("  \"" + path("blue.rdb") + "\" ", " " + path("out") + "  ");

    EXPECT_EQ(box("jbText1")->text(), path("blue.rdb"));
    EXPECT_EQ(box("jbText2")->text(), path("out"));
    EXPECT_EQ(readFile("out/blue/a.txt"), "abc");
    expectOnlyMessage("解包完成！ ", "成功", MessageIcon::None);
}

TEST_F(UnpackFromTheWindow, ADisabledStartButtonIgnoresClicks) {
    writeExampleTree("blue");
    packTree("blue", "blue.rdb");
    QDir().mkpath(path("out"));
    box("jbText1")->setText(path("blue.rdb"));
    box("jbText2")->setText(path("out"));
    form->disableControls();

    click(button("jbbtn"));
    QTest::keyClick(button("jbbtn"), Qt::Key_Return);

    EXPECT_TRUE(messages.shown().isEmpty());
    EXPECT_FALSE(exists("out/blue"));
}

}  // namespace
}  // namespace tessapak::app::testing
