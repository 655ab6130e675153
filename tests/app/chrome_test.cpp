#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHelpEvent>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
#include <cmath>

#include "app/about_window.h"
#include "window_fixture.h"

namespace tessapak::app::testing {
namespace {

int openAboutWindows() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<AboutWindow*>(widget) != nullptr && widget->isVisible()) {
            ++count;
        }
    }
    return count;
}

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class WindowChrome : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        form->show();
    }
    // A press and release at a point of a window, delivered as the platform
    // delivers it: to whatever lies there.
    static void pressAt(QWidget* window, QPoint point, Qt::MouseButton button) {
        QTest::mousePress(window->windowHandle(), button, {}, point);
        QTest::mouseRelease(window->windowHandle(), button, {}, point);
    }
};

TEST_F(WindowChrome, OnlyALeftPressOnTheBareAreaMovesTheWindow) {
    QSignalSpy moves(form.get(), &MainWindow::moveRequested);
    pressAt(form.get(), QPoint(300, 40), Qt::RightButton);
    pressAt(form.get(), QPoint(300, 40), Qt::MiddleButton);
    pressAt(form.get(), QPoint(42 + 20, 53 + 60), Qt::LeftButton);  // inside the unpack frame
    pressAt(form.get(), QPoint(42 + 60, 53 + 32), Qt::LeftButton);  // on a caption label
    pressAt(form.get(), QPoint(30, 350), Qt::LeftButton);           // on the link
    pressAt(form.get(), QPoint(584, 12), Qt::LeftButton);           // on the minimise image
    EXPECT_EQ(moves.count(), 0);
    form->showNormal();

    pressAt(form.get(), QPoint(300, 40), Qt::LeftButton);
    EXPECT_EQ(moves.count(), 1);
}

TEST_F(WindowChrome, MinButtonMinimisesAndTheLinkOpensTheQqSection) {
    click(image("MinButton"));
    EXPECT_TRUE(form->isMinimized());

    urls.setSucceeds(false);
    click(control<LinkLabel>("QQInstallLabel"));
    ASSERT_EQ(urls.opened().size(), 1);
    EXPECT_EQ(urls.opened()[0], QUrl("http://www.morvena.example/qq/"));
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(WindowChrome, SetImageOpensOneAboutWindowAndAFreshOneAfterClosing) {
    click(image("setImage"));
    AboutWindow* first = form->aboutWindow();
    ASSERT_NE(first, nullptr);
    click(image("setImage"));
    EXPECT_EQ(form->aboutWindow(), first);
    EXPECT_EQ(openAboutWindows(), 1);
    EXPECT_EQ(first->parentWidget(), nullptr);
    EXPECT_EQ(first->size(), QSize(278, 160));
    EXPECT_TRUE(first->windowFlags() & Qt::FramelessWindowHint);

    click(first->findChild<ChromeImage*>("Image1"));
    flushDeletes();
    EXPECT_EQ(form->aboutWindow(), nullptr);
    EXPECT_EQ(openAboutWindows(), 0);
    EXPECT_TRUE(form->isVisible());

    click(image("setImage"));
    EXPECT_NE(form->aboutWindow(), nullptr);
    EXPECT_EQ(openAboutWindows(), 1);
}

TEST_F(WindowChrome, TheAboutLinkOpensTheTutorialAndPressesOnItDoNotMoveTheWindow) {
    click(image("setImage"));
    AboutWindow* window = form->aboutWindow();
    ASSERT_NE(window, nullptr);
    QSignalSpy moves(window, &AboutWindow::moveRequested);
    auto* link = window->findChild<LinkLabel*>("Label2");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->pos(), QPoint(16, 8));
    EXPECT_EQ(link->text(), "关于");

    pressAt(window, link->geometry().center(), Qt::LeftButton);
    ASSERT_EQ(urls.opened().size(), 1);
    EXPECT_EQ(urls.opened()[0], QUrl("http://www.morvena.example/qq/jiaocheng/2012/192.html"));
    EXPECT_EQ(moves.count(), 0);

    pressAt(window, QPoint(140, 100), Qt::LeftButton);
    EXPECT_EQ(moves.count(), 1);
}

TEST_F(WindowChrome, CharacterKeysCloseTheAboutWindowAndOthersDoNot) {
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_F1, Qt::Key_Shift, Qt::Key_PageDown}) {
        click(image("setImage"));
        QTest::keyClick(form->aboutWindow(), key);
        EXPECT_TRUE(form->aboutWindow()->isVisible()) << key;
    }
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Backspace, Qt::Key_A, Qt::Key_7}) {
        click(image("setImage"));
        AboutWindow* window = form->aboutWindow();
        QTest::keyClick(window, key);
        flushDeletes();
        EXPECT_EQ(form->aboutWindow(), nullptr) << key;
    }
}

TEST_F(WindowChrome, TheCloseImageShowsItsToolTipOnlyWhileEnabled) {
    ChromeImage* close = image("UnLoadMain");
    const auto askForTip = [close] {
        QHelpEvent help(QEvent::ToolTip, close->rect().center(),
                        close->mapToGlobal(close->rect().center()));
        QApplication::sendEvent(close, &help);
    };
    ASSERT_FALSE(QToolTip::isVisible());
    form->disableControls();
    askForTip();
    EXPECT_FALSE(QToolTip::isVisible());

    form->enableControls();
    askForTip();
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), "关闭");
    QToolTip::hideText();
}

TEST_F(WindowChrome, TheCloseRuleRefusesOnlyUnloadsFromCode) {
    for (int mode : {0, 2, 3}) {
        EXPECT_FALSE(MainWindow::refusesUnload(mode)) << mode;
    }
    EXPECT_TRUE(MainWindow::refusesUnload(kUnloadFromCode));
}

TEST_F(WindowChrome, ASystemCloseClosesTheMainWindowOnly) {
    click(image("setImage"));
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(form->isVisible());
    ASSERT_NE(form->aboutWindow(), nullptr);
    EXPECT_TRUE(form->aboutWindow()->isVisible());
}

TEST_F(WindowChrome, UnLoadMainEndsTheEventLoopAndTakesTheAboutWindowWithIt) {
    click(image("setImage"));
    // Only a guard: it fires only when the program fails to end.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(10000);
    QTimer::singleShot(0, form.get(), [this] { click(image("UnLoadMain")); });

    EXPECT_EQ(QCoreApplication::exec(), 0);

    flushDeletes();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->aboutWindow(), nullptr);
    EXPECT_EQ(openAboutWindows(), 0);
}

TEST_F(WindowChrome, ACloseDuringARunWaitsForItsEndAndTheCloseImageIgnoresClicks) {
    writeExampleTree("blue");
    QList<bool> visibleAfterRequest;
    bool requested = false;
    PumpRecorder closer([&] {
        if (!form->isRunning()) {
            return;
        }
        if (!requested) {
            requested = true;
            click(image("UnLoadMain"));  // disabled: nothing happens
            EXPECT_FALSE(form->close());
            click(image("setImage"));  // still usable while busy
        }
        visibleAfterRequest.append(form->isVisible());
    });
    closer.start();
    box("dbText1")->setText(path("blue"));
    box("dbText2")->setText(path("blue.rdb"));

    click(button("dbbtn"));
    closer.stop();

    EXPECT_TRUE(requested);
    EXPECT_FALSE(visibleAfterRequest.isEmpty());
    EXPECT_FALSE(visibleAfterRequest.contains(false));
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown()[0].text, "打包完成！ ");
    EXPECT_EQ(readFile("blue.rdb").size(), 105);
    EXPECT_FALSE(form->isVisible());
    ASSERT_NE(form->aboutWindow(), nullptr);
    EXPECT_TRUE(form->aboutWindow()->isVisible());
}

// Each scale shows the picture drawn for it, device pixel for device pixel,
// not the 1x picture scaled up.
TEST_F(WindowChrome, TheBackgroundIsThePictureMadeForTheScale) {
    for (const double scale : {1.0, 1.5, 2.0}) {
        const QString suffix = scale == 1.0 ? QString() : QStringLiteral("@%1x").arg(scale);
        const QImage picture = QImage(":/tessapak/main_background" + suffix + ".gif")
                                   .convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(picture.size(), QSize(static_cast<int>(std::ceil(624 * scale)),
                                        static_cast<int>(std::ceil(367 * scale))))
            << scale;
        QImage shown(picture.size(), QImage::Format_RGB32);
        shown.setDevicePixelRatio(scale);
        shown.fill(Qt::black);
        form->render(&shown);
        // The title strip between the about image and the minimise image.
        int differing = 0;
        for (int y = 0; y < static_cast<int>(27 * scale); ++y) {
            for (int x = static_cast<int>(30 * scale); x < static_cast<int>(560 * scale); ++x) {
                differing += shown.pixel(x, y) != picture.pixel(x, y) ? 1 : 0;
            }
        }
        EXPECT_EQ(differing, 0) << scale;
    }
}

// The panel frame's grey line runs unbroken into its corners: the white
// line inside it does not cut it at the top right or the bottom left.
TEST_F(WindowChrome, PanelFrameCornersAreWhole) {
    auto* frame = control<QGroupBox>("jbFrame");
    const int top = QFontMetrics(frame->font()).height() / 2;  // where the border starts
    const int w = frame->width();
    const int h = frame->height();
    for (const int scale : {1, 2}) {
        QImage shown(frame->size() * scale, QImage::Format_RGB32);
        shown.setDevicePixelRatio(scale);
        frame->render(&shown);
        // The grey right edge where the white top line meets it, and the grey
        // bottom edge where the white left line meets it.
        for (const QPoint corner : {QPoint(w - 2, top + 1), QPoint(1, h - 2)}) {
            EXPECT_EQ(shown.pixel(corner * scale), qRgb(0xA0, 0xA0, 0xA0)) << scale;
        }
    }
}

}  // namespace
}  // namespace tessapak::app::testing
