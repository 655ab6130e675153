#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <cmath>
#include <stdexcept>

#include "app/stored_form.h"
#include "window_fixture.h"

namespace tessapak::app::testing {
namespace {

class MainWindow : public WindowTest {};

TEST_F(MainWindow, StartsIdleWithEmptyBoxesAndShrunkStatusLines) {
    for (const char* name : {"jbText1", "jbText2", "dbText1", "dbText2"}) {
        EXPECT_TRUE(box(name)->text().isEmpty()) << name;
        EXPECT_TRUE(box(name)->isEnabled()) << name;
    }
    for (const char* name : {"jbLabel", "dbLabel"}) {
        EXPECT_TRUE(label(name)->text().isEmpty()) << name;
        EXPECT_EQ(label(name)->size(), QSize(6, 12)) << name;
    }
    EXPECT_FALSE(snapshot().enabled.contains(false));
    EXPECT_FALSE(form->isRunning());
}

TEST_F(MainWindow, IsAFramelessFixedWindowCaptionedWithTheHost) {
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form->size(), QSize(624, 367));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_EQ(form->windowTitle(), "Tessapak www.morvena.example");
    const QList<QSize> sizes = form->windowIcon().availableSizes();
    for (int side : {16, 32, 48, 64}) {
        EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;
    }
}

TEST_F(MainWindow, PlacesEveryControlWhereTheLayoutSays) {
    const struct {
        const char* name;
        QRect geometry;
    } placed[] = {
        {"jbFrame", {42, 53, 537, 129}},  {"jbText1", {127, 26, 270, 23}},
        {"jbText2", {127, 63, 270, 23}},  {"jbbtn1", {421, 28, 74, 22}},
        {"jbbtn2", {421, 64, 74, 22}},    {"jbbtn", {403, 94, 94, 25}},
        {"dbFrame", {42, 196, 537, 129}}, {"dbText1", {127, 24, 270, 23}},
        {"dbText2", {127, 63, 270, 23}},  {"dbbtn1", {420, 27, 74, 22}},
        {"dbbtn2", {420, 64, 74, 22}},    {"dbbtn", {403, 96, 94, 25}},
        {"setImage", {5, 5, 18, 15}},     {"MinButton", {576, 5, 16, 16}},
        {"UnLoadMain", {599, 4, 21, 19}},
    };
    for (const auto& control : placed) {
        auto* widget = form->findChild<QWidget*>(control.name);
        ASSERT_NE(widget, nullptr) << control.name;
        EXPECT_EQ(widget->geometry(), control.geometry) << control.name;
    }
    const struct {
        const char* name;
        const char* frame;
        QPoint position;
    } labels[] = {
        {"jbLabel2", "jbFrame", {57, 30}},      {"jbLabel3", "jbFrame", {57, 67}},
        {"jbLabel", "jbFrame", {63, 99}},       {"dbLabel4", "dbFrame", {56, 31}},
        {"dbLabel5", "dbFrame", {57, 69}},      {"dbLabel", "dbFrame", {65, 104}},
        {"QQInstallLabel", "Form1", {21, 346}},
    };
    for (const auto& entry : labels) {
        QLabel* found = label(entry.name);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->pos(), entry.position) << entry.name;
        EXPECT_EQ(found->parentWidget()->objectName(), entry.frame) << entry.name;
    }
    EXPECT_EQ(control<QGroupBox>("jbFrame")->title(), "解包");
    EXPECT_EQ(control<QGroupBox>("dbFrame")->title(), "打包");
    EXPECT_EQ(image("setImage")->toolTip(), "配置QQ版本");
    EXPECT_EQ(image("MinButton")->toolTip(), "最小化");
    EXPECT_EQ(image("UnLoadMain")->toolTip(), "关闭");
}

TEST_F(MainWindow, LabelsSizeToTheirCaptionAndStatusLinesAreOpaque) {
    for (const char* name : {"jbLabel2", "jbLabel3", "dbLabel4", "dbLabel5", "QQInstallLabel"}) {
        QLabel* caption = label(name);
        EXPECT_EQ(caption->size(), caption->sizeHint()) << name;
        EXPECT_FALSE(caption->autoFillBackground()) << name;
    }
    EXPECT_EQ(label("jbLabel2")->text(), "皮肤文件:");
    EXPECT_EQ(label("dbLabel5")->text(), "输出文件:");
    EXPECT_EQ(label("QQInstallLabel")->palette().color(QPalette::WindowText), QColor(0x808080));
    EXPECT_TRUE(label("jbLabel")->autoFillBackground());
    EXPECT_EQ(label("jbLabel")->backgroundRole(), QPalette::ToolTipBase);
    EXPECT_TRUE(label("dbLabel")->autoFillBackground());
    EXPECT_EQ(label("dbLabel")->backgroundRole(), QPalette::Button);
    EXPECT_EQ(box("jbText1")->palette().color(QPalette::Base), QColor(0xE0E0E0));

    writeExampleTree("blue");
    box("dbText1")->setText(path("blue"));
    box("dbText2")->setText(path("blue.rdb"));
    click(button("dbbtn"));
    EXPECT_EQ(label("dbLabel")->text(), "完成打包。");
    EXPECT_EQ(label("dbLabel")->size(), label("dbLabel")->sizeHint());
}

TEST_F(MainWindow, TabOrderRunsThroughBothPanelsStartingAtTheUnpackButton) {
    EXPECT_EQ(form->focusWidget(), button("jbbtn"));
    form->show();
    QApplication::setActiveWindow(form.get());
    button("jbbtn")->setFocus();
    QStringList order;
    for (int i = 0; i < 11; ++i) {
        order.append(QApplication::focusWidget() ? QApplication::focusWidget()->objectName()
                                                 : QString());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(order, QStringList({"jbbtn", "jbbtn2", "jbbtn1", "jbText2", "jbText1", "dbbtn",
                                  "dbbtn2", "dbbtn1", "dbText2", "dbText1", "jbbtn"}));
}

TEST_F(MainWindow, EnterAtStartUpRunsAnUnpackThatStopsAtTheEmptyPath) {
    form->show();
    QApplication::setActiveWindow(form.get());
    QTest::keyClick(form->focusWidget(), Qt::Key_Return);
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown()[0].text, "皮肤文件不能为空,请先选择文件！ ");
}

TEST_F(MainWindow, TheBusyStateTogglesExactlyTheSevenControls) {
    form->disableControls();
    EXPECT_FALSE(snapshot().enabled.contains(true));
    for (const char* name : {"jbText1", "jbText2", "dbText1", "dbText2"}) {
        EXPECT_TRUE(box(name)->isEnabled()) << name;
    }
    EXPECT_TRUE(image("MinButton")->isEnabled());
    EXPECT_TRUE(image("setImage")->isEnabled());
    EXPECT_TRUE(label("QQInstallLabel")->isEnabled());
    // The buttons' own flag, never the widget's: they keep taking focus.
    EXPECT_TRUE(button("jbbtn")->isEnabled());

    form->enableControls();
    form->enableControls();
    EXPECT_FALSE(snapshot().enabled.contains(false));
}

TEST_F(MainWindow, LoadsItsSixButtonsFromTheStoredDesignData) {
    const QList<StoredControl> stored = readStoredForm(":/tessapak/form1.json");
    ASSERT_EQ(stored.size(), 6);
    for (const StoredControl& entry : stored) {
        SCOPED_TRACE(entry.name.toStdString());
        EXPECT_EQ(entry.classId, "Tessapak.XPButton");
        controls::XPButton* loaded = button(entry.name.toLatin1().constData());
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(loaded->geometry(), entry.geometry);
        EXPECT_EQ(loaded->parentWidget()->objectName(), entry.container);

        // The form runtime's extents are the size in 0.01 mm: twips * 2540 / 1440.
        const auto extent = [](int pixels) { return std::lround(pixels * 15 * 2540.0 / 1440.0); };
        EXPECT_EQ(entry.properties.value("_extentx").toInt(), extent(entry.geometry.width()));
        EXPECT_EQ(entry.properties.value("_extenty").toInt(), extent(entry.geometry.height()));

        const bool start = entry.name == "jbbtn" || entry.name == "dbbtn";
        QStringList expectedKeys = {"_extentx", "_extenty", "caption"};
        if (start) {
            expectedKeys.append("colorstyle");
        }
        EXPECT_EQ(entry.properties.keys(), expectedKeys);
        EXPECT_EQ(loaded->Caption(), entry.properties.value("caption").toString());
        EXPECT_EQ(loaded->ColorStyle(), start ? controls::xpOlive : controls::xpBlue);
        EXPECT_EQ(loaded->RoundedValue(), 5);
        EXPECT_TRUE(loaded->Enabled());
    }
    EXPECT_EQ(button("jbbtn")->Caption(), "开始解包");
    EXPECT_EQ(button("dbbtn")->Caption(), "开始打包");
    EXPECT_EQ(button("jbbtn1")->Caption(), "浏览...");
}

TEST(StoredDesignData, AMalformedDocumentIsRefusedNamingItsPath) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&](const char* name, const QByteArray& text) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return file.fileName();
    };
    const QString notJson = write("a.json", "{ controls: ");
    const QString noList = write("b.json", R"({"form": "Form1"})");
    const QString noSize = write(
        "c.json", R"({"controls": [{"class": "Tessapak.XPButton", "name": "x", "left": 1}]})");
    for (const QString& path : {notJson, noList, noSize, dir.filePath("missing.json")}) {
        try {
            readStoredForm(path);
            ADD_FAILURE() << "accepted " << path.toStdString();
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find(path.toStdString()), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace tessapak::app::testing
