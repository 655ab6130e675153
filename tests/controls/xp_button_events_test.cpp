#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/xp_button/rendering.h"
#include "controls/xp_button/xp_button.h"
#include "graphics/color.h"
#include "platform/pointer_scripted.h"
#include "xp_button_test_access.h"

namespace tessapak::controls {
namespace {

using Access = XPButtonTestAccess;

// A loaded button of the main window, with a log of what it raised and the
// pressed flag as each handler saw it.
class XPButtonEvents : public ::testing::Test {
  protected:
    void SetUp() override {
        button_.resize(94, 25);
        button_.setAmbient("jbbtn", true);
        button_.ReadProperties(PropertyBag::fromVariantMap({{"caption", "开始解包"}}));
        QObject::connect(&button_, &XPButton::Click, [this] { log("Click"); });
        QObject::connect(&button_, &XPButton::DoubleClick, [this] { log("DoubleClick"); });
        QObject::connect(&button_, &XPButton::KeyDown, [this](std::int16_t& code, std::int16_t&) {
            log("KeyDown " + num(code));
        });
        QObject::connect(&button_, &XPButton::KeyPress,
                         [this](std::int16_t& ascii) { log("KeyPress " + num(ascii)); });
        QObject::connect(&button_, &XPButton::KeyUp,
                         [this](std::int16_t& code, std::int16_t&) { log("KeyUp " + num(code)); });
        QObject::connect(
            &button_, &XPButton::MouseDown,
            [this](std::int16_t& b, std::int16_t&, float&, float&) { log("MouseDown " + num(b)); });
        QObject::connect(
            &button_, &XPButton::MouseUp,
            [this](std::int16_t& b, std::int16_t&, float&, float&) { log("MouseUp " + num(b)); });
        QObject::connect(&button_, &XPButton::MouseEnters, [this](std::int32_t x, std::int32_t y) {
            log("MouseEnters " + num(x) + "," + num(y));
        });
        QObject::connect(&button_, &XPButton::MouseLeaves, [this](std::int32_t x, std::int32_t y) {
            log("MouseLeaves " + num(x) + "," + num(y));
        });
    }

    static std::string num(int value) { return std::to_string(value); }
    void log(const std::string& what) {
        events_.push_back(what + (button_.record().IsPressed ? " [pressed]" : ""));
    }

    void sendKey(QEvent::Type type, int key, const QString& text, bool autoRepeat = false) {
        QKeyEvent event(type, key, Qt::NoModifier, text, autoRepeat);
        QApplication::sendEvent(&button_, &event);
    }
    void sendFocus(QEvent::Type type) {
        QFocusEvent event(type, Qt::TabFocusReason);
        QApplication::sendEvent(&button_, &event);
    }

    XPButton button_;
    std::vector<std::string> events_;
};

using Events = std::vector<std::string>;

TEST_F(XPButtonEvents, LeftClickRaisesDownUpClickWithTheFacePressedInBetween) {
    const QPoint centre(47, 12);
    QTest::mousePress(&button_, Qt::LeftButton, {}, centre);
    EXPECT_TRUE(button_.record().IsPressed);
    QTest::mouseRelease(&button_, Qt::LeftButton, {}, centre);

    // Each event is raised before the flag changes.
    EXPECT_EQ(events_, Events({"MouseDown 1", "MouseUp 1 [pressed]", "Click"}));
    EXPECT_FALSE(button_.record().IsPressed);
}

TEST_F(XPButtonEvents, MouseEventsCarryTheHostsShiftMaskAndSurfaceCoordinates) {
    std::int16_t shift = -1;
    float x = -1;
    float y = -1;
    QObject::connect(&button_, &XPButton::MouseDown,
                     [&](std::int16_t&, std::int16_t& s, float& px, float& py) {
                         shift = s;
                         x = px;
                         y = py;
                     });
    QTest::mousePress(&button_, Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier,
                      QPoint(10, 7));
    EXPECT_EQ(shift, 3);
    EXPECT_FLOAT_EQ(x, 10.0f);
    EXPECT_FLOAT_EQ(y, 7.0f);
}

TEST_F(XPButtonEvents, AReleaseOutsideTheControlLiftsTheFaceButIsNoClick) {
    QTest::mousePress(&button_, Qt::LeftButton, {}, QPoint(47, 12));
    QTest::mouseRelease(&button_, Qt::LeftButton, {}, QPoint(200, 12));
    EXPECT_EQ(events_, Events({"MouseDown 1", "MouseUp 1 [pressed]"}));
    EXPECT_FALSE(button_.record().IsPressed);
}

TEST_F(XPButtonEvents, DoubleClickRaisesOneClickAndOneDoubleClick) {
    const QPoint centre(47, 12);
    QTest::mousePress(&button_, Qt::LeftButton, {}, centre);
    QTest::mouseRelease(&button_, Qt::LeftButton, {}, centre);
    // Qt's second click: the double click in place of the press, then the release.
    QTest::mouseDClick(&button_, Qt::LeftButton, {}, centre);
    QTest::mouseRelease(&button_, Qt::LeftButton, {}, centre);

    EXPECT_EQ(events_,
              Events({"MouseDown 1", "MouseUp 1 [pressed]", "Click", "DoubleClick", "MouseUp 1"}));
    EXPECT_FALSE(button_.record().IsPressed);
}

TEST_F(XPButtonEvents, RightButtonPressRaisesMouseDownTwoAndLeavesTheFaceUp) {
    const auto drawsBefore = Access::drawCalls(button_);
    QTest::mouseClick(&button_, Qt::RightButton, {}, QPoint(47, 12));
    EXPECT_EQ(events_, Events({"MouseDown 2", "MouseUp 2"}));
    EXPECT_FALSE(button_.record().IsPressed);
    EXPECT_EQ(Access::drawCalls(button_), drawsBefore) << "nothing to repaint";
}

TEST_F(XPButtonEvents, AMouseDownHandlerThatClearsButtonPreventsThePressedLook) {
    QObject::connect(&button_, &XPButton::MouseDown,
                     [](std::int16_t& b, std::int16_t&, float&, float&) { b = 0; });
    QTest::mousePress(&button_, Qt::LeftButton, {}, QPoint(47, 12));
    EXPECT_FALSE(button_.record().IsPressed);
}

TEST_F(XPButtonEvents, AMouseUpHandlerThatClearsButtonKeepsThePressedLook) {
    QObject::connect(&button_, &XPButton::MouseUp,
                     [](std::int16_t& b, std::int16_t&, float&, float&) { b = 0; });
    QTest::mouseClick(&button_, Qt::LeftButton, {}, QPoint(47, 12));
    EXPECT_TRUE(button_.record().IsPressed);
    EXPECT_EQ(events_.back(), "Click [pressed]")
        << "the form runtime's click does not depend on Button";
}

TEST_F(XPButtonEvents, MouseMoveIsRaisedWithoutAHeldButtonAndChangesNothing) {
    std::int16_t buttons = -1;
    QObject::connect(&button_, &XPButton::MouseMove,
                     [&](std::int16_t& b, std::int16_t&, float&, float&) { buttons = b; });
    const auto drawsBefore = Access::drawCalls(button_);
    QTest::mouseMove(&button_, QPoint(20, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(21, 10), QPointF(21, 10), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&button_, &move);
    EXPECT_EQ(buttons, 0);
    EXPECT_EQ(Access::drawCalls(button_), drawsBefore);
}

TEST_F(XPButtonEvents, SpaceShowsThePressedFaceWhileHeldAndRaisesNoClick) {
    sendKey(QEvent::KeyPress, Qt::Key_Space, " ");
    EXPECT_TRUE(button_.record().IsPressed);
    sendKey(QEvent::KeyPress, Qt::Key_Space, " ", /*autoRepeat=*/true);
    sendKey(QEvent::KeyRelease, Qt::Key_Space, " ", /*autoRepeat=*/true);
    EXPECT_TRUE(button_.record().IsPressed) << "auto-repeat brings no key-up";
    sendKey(QEvent::KeyRelease, Qt::Key_Space, " ");

    EXPECT_EQ(events_, Events({"KeyDown 32", "KeyPress 32 [pressed]", "KeyDown 32 [pressed]",
                               "KeyPress 32 [pressed]", "KeyUp 32 [pressed]"}));
    EXPECT_FALSE(button_.record().IsPressed);
}

TEST_F(XPButtonEvents, EnterClicksOnEveryKeyPressIncludingAutoRepeatWithoutPressing) {
    sendKey(QEvent::KeyPress, Qt::Key_Return, "\r");
    sendKey(QEvent::KeyPress, Qt::Key_Return, "\r", /*autoRepeat=*/true);
    sendKey(QEvent::KeyPress, Qt::Key_Enter, "\r", /*autoRepeat=*/true);
    sendKey(QEvent::KeyRelease, Qt::Key_Return, "\r");

    EXPECT_EQ(events_, Events({"KeyDown 13", "KeyPress 13", "Click", "KeyDown 13", "KeyPress 13",
                               "Click", "KeyDown 13", "KeyPress 13", "Click", "KeyUp 13"}));
    EXPECT_FALSE(button_.record().IsPressed);
}

TEST_F(XPButtonEvents, AKeyPressHandlerDecidesWhetherAKeyClicks) {
    QSignalSpy clicks(&button_, &XPButton::Click);
    std::int16_t replacement = 0;
    QObject::connect(&button_, &XPButton::KeyPress,
                     [&](std::int16_t& ascii) { ascii = replacement; });

    sendKey(QEvent::KeyPress, Qt::Key_Return, "\r");
    EXPECT_EQ(clicks.count(), 0) << "KeyAscii 0 vetoes the Enter click";

    replacement = 13;
    sendKey(QEvent::KeyPress, Qt::Key_A, "a");
    EXPECT_EQ(clicks.count(), 1) << "KeyAscii 13 makes any key a click";
}

TEST_F(XPButtonEvents, AKeyDownHandlerCanTurnAnyKeyIntoTheSpaceBar) {
    QObject::connect(&button_, &XPButton::KeyDown,
                     [](std::int16_t& code, std::int16_t&) { code = 32; });
    sendKey(QEvent::KeyPress, Qt::Key_X, "x");
    EXPECT_TRUE(button_.record().IsPressed);
}

TEST_F(XPButtonEvents, KeysThatTypeNothingRaiseNoKeyPress) {
    sendKey(QEvent::KeyPress, Qt::Key_Left, "");
    sendKey(QEvent::KeyPress, Qt::Key_Delete, "\x7f");
    EXPECT_EQ(events_, Events({"KeyDown 37", "KeyDown 46"}));
}

TEST_F(XPButtonEvents, KeysAreConsumedSoTheyNeverReachTheParent) {
    QKeyEvent event(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    event.ignore();
    QApplication::sendEvent(&button_, &event);
    EXPECT_TRUE(event.isAccepted());
}

TEST_F(XPButtonEvents, FocusSetsAndClearsHasFocusWithARepaintEach) {
    const auto drawsBefore = Access::drawCalls(button_);
    sendFocus(QEvent::FocusIn);
    EXPECT_TRUE(button_.record().HasFocus);
    sendFocus(QEvent::FocusOut);
    EXPECT_FALSE(button_.record().HasFocus);
    EXPECT_EQ(Access::drawCalls(button_) - drawsBefore, 2u);
}

TEST(XPButtonFocus, TakesRealFocusFromTheWindowAndKeepsItWhenDisabled) {
    QWidget window;
    auto* button = new XPButton(&window);
    button->resize(94, 25);
    button->setAmbient("jbbtn", true);
    button->InitProperties();
    auto* other = new QWidget(&window);
    other->setFocusPolicy(Qt::StrongFocus);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    button->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(button->hasFocus());
    EXPECT_TRUE(button->record().HasFocus);

    button->setEnabled(false);
    EXPECT_TRUE(button->hasFocus()) << "disabling is the control's own flag only";
    other->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(button->hasFocus());
    EXPECT_TRUE(button->record().HasFocus) << "a disabled control ignores LostFocus";
}

TEST_F(XPButtonEvents, ADisabledButtonRaisesNothingChangesNoFlagAndDoesNotRepaint) {
    button_.setEnabled(false);
    Access::setFlags(button_, false, true, false);
    platform::ScriptedPointer pointer;
    button_.setPointer(pointer);
    pointer.moveTo(QPoint(900, 900), nullptr);
    int moves = 0;
    QObject::connect(&button_, &XPButton::MouseMove,
                     [&](std::int16_t&, std::int16_t&, float&, float&) { ++moves; });
    const auto drawsBefore = Access::drawCalls(button_);

    QTest::mouseClick(&button_, Qt::LeftButton, {}, QPoint(47, 12));
    QTest::mouseDClick(&button_, Qt::LeftButton, {}, QPoint(47, 12));
    QTest::mouseMove(&button_, QPoint(40, 10));
    sendKey(QEvent::KeyPress, Qt::Key_Space, " ");
    sendKey(QEvent::KeyPress, Qt::Key_Return, "\r");
    sendKey(QEvent::KeyRelease, Qt::Key_Space, " ");
    sendFocus(QEvent::FocusIn);
    Access::tick(button_);

    EXPECT_TRUE(events_.empty());
    EXPECT_EQ(moves, 0);
    EXPECT_FALSE(button_.record().IsPressed);
    EXPECT_TRUE(button_.record().IsMouseOver);
    EXPECT_FALSE(button_.record().HasFocus);
    EXPECT_EQ(button_.record().CursorPos.X, 0) << "the poll did not even sample";
    EXPECT_EQ(Access::drawCalls(button_), drawsBefore);
    EXPECT_TRUE(Access::timer(button_).isActive()) << "the timer keeps running";
}

TEST_F(XPButtonEvents, PaintRepaintsEvenWhenDisabled) {
    button_.setEnabled(false);
    QImage& picture = Access::surface(button_).image();
    picture.fill(Qt::red);
    Access::paint(button_);
    // The face, away from the outline and the caption, shows the disabled colour again.
    EXPECT_EQ(graphics::fromRgb(picture.pixel(8, 12)), kDisabledFace);
    EXPECT_EQ(graphics::fromRgb(picture.pixel(86, 12)), kDisabledFace);
}

// A handler may close the window that holds the button; the button must not
// touch itself after raising Click (AddressSanitizer sees the rest).
TEST_F(XPButtonEvents, AClickHandlerMayDestroyTheButton) {
    const std::vector<std::function<void(XPButton*)>> clickWays = {
        [](XPButton* button) {
            QTest::mousePress(button, Qt::LeftButton, {}, QPoint(47, 12));
            QMouseEvent release(QEvent::MouseButtonRelease, QPointF(47, 12), QPointF(47, 12),
                                Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(button, &release);
        },
        [](XPButton* button) {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
            QApplication::sendEvent(button, &key);
        },
    };
    for (std::size_t way = 0; way < clickWays.size(); ++way) {
        auto* doomed = new XPButton;
        doomed->resize(94, 25);
        doomed->setAmbient("jbbtn", true);
        doomed->InitProperties();
        QPointer<XPButton> watch(doomed);
        int clicks = 0;
        QObject::connect(doomed, &XPButton::Click, [doomed, &clicks] {
            ++clicks;
            delete doomed;
        });
        clickWays[way](doomed);
        EXPECT_EQ(clicks, 1) << "way " << way;
        EXPECT_TRUE(watch.isNull()) << "way " << way;
        delete watch.data();
    }
}

// The hover poll, with a scripted pointer and the tick driven by hand.
class XPButtonHover : public XPButtonEvents {
  protected:
    void SetUp() override {
        XPButtonEvents::SetUp();
        button_.setPointer(pointer_);
    }
    void pointAtButton(QPoint at = {460, 130}) { pointer_.moveTo(at, &button_); }
    void pointAt(QPoint at, QWidget* widget) { pointer_.moveTo(at, widget); }

    platform::ScriptedPointer pointer_;
    QWidget elsewhere_;
};

TEST_F(XPButtonHover, RaisesEntersOnceAndLeavesOnceWithScreenCoordinates) {
    pointAt({10, 10}, &elsewhere_);
    Access::tick(button_);
    pointAtButton({460, 130});
    Access::tick(button_);
    EXPECT_TRUE(button_.record().IsMouseOver);
    pointAtButton({462, 131});
    Access::tick(button_);
    Access::tick(button_);
    pointAt({600, 131}, &elsewhere_);
    Access::tick(button_);
    Access::tick(button_);

    EXPECT_EQ(events_, Events({"MouseEnters 460,130", "MouseLeaves 600,131"}));
    EXPECT_FALSE(button_.record().IsMouseOver);
    EXPECT_EQ(button_.record().CursorPos.X, 600);
    EXPECT_EQ(button_.record().CursorPos.Y, 131);
}

TEST_F(XPButtonHover, RepaintsOnlyWhenTheFlagChangesAndBeforeTheEvent) {
    std::uint64_t drawsSeenByHandler = 0;
    QObject::connect(&button_, &XPButton::MouseEnters, [&](std::int32_t, std::int32_t) {
        drawsSeenByHandler = Access::drawCalls(button_);
    });
    const auto drawsBefore = Access::drawCalls(button_);
    pointAtButton();
    Access::tick(button_);
    Access::tick(button_);
    EXPECT_EQ(Access::drawCalls(button_) - drawsBefore, 1u);
    EXPECT_EQ(drawsSeenByHandler - drawsBefore, 1u) << "the face shows the hover ring first";
}

TEST_F(XPButtonHover, AWindowOpeningOverTheButtonMakesThePointerLeave) {
    pointAtButton();
    Access::tick(button_);
    // Same place, but a message box now lies over the button there.
    QWidget messageBox;
    pointAt({460, 130}, &messageBox);
    Access::tick(button_);
    EXPECT_EQ(events_, Events({"MouseEnters 460,130", "MouseLeaves 460,130"}));
}

TEST_F(XPButtonHover, TheTimerIsOffWhileHandlersRunAndOnAgainAfterwards) {
    bool activeInHandler = true;
    QObject::connect(&button_, &XPButton::MouseEnters, [&](std::int32_t, std::int32_t) {
        activeInHandler = Access::timer(button_).isActive();
    });
    pointAtButton();
    Access::tick(button_);
    EXPECT_FALSE(activeInHandler);
    EXPECT_TRUE(Access::timer(button_).isActive());
}

TEST_F(XPButtonHover, AfterBeingDisabledWhileHoveredTheFirstEnabledTickLeaves) {
    pointAtButton();
    Access::tick(button_);
    button_.setEnabled(false);
    pointAt({10, 10}, &elsewhere_);
    Access::tick(button_);
    EXPECT_TRUE(button_.record().IsMouseOver) << "a disabled poll changes nothing";

    button_.setEnabled(true);
    Access::tick(button_);
    EXPECT_EQ(events_, Events({"MouseEnters 460,130", "MouseLeaves 10,10"}));
}

TEST_F(XPButtonHover, NeverTracksThePointerInADesigner) {
    XPButton designed;
    designed.setAmbient("XPButton1", false);
    designed.ReadProperties(PropertyBag::fromVariantMap({{"caption", "x"}}));
    // The timer being off is what keeps a designer quiet: its tick never comes.
    EXPECT_FALSE(Access::timer(designed).isActive());
    designed.setAmbient("XPButton1", true);
    designed.InitProperties();
    designed.setAmbient("XPButton1", false);
    designed.InitProperties();
    EXPECT_FALSE(Access::timer(designed).isActive()) << "back in the designer, polling stops";
}

TEST_F(XPButtonHover, TheRealTimerPollsOnItsOwn) {
    QSignalSpy enters(&button_, &XPButton::MouseEnters);
    pointAtButton();
    EXPECT_TRUE(enters.wait(1000));
    EXPECT_EQ(events_.front(), "MouseEnters 460,130");
}

}  // namespace
}  // namespace tessapak::controls
