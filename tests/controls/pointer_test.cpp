#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QTest>

#include "controls/xp_button/xp_button.h"
#include "platform/pointer.h"
#include "xp_button_test_access.h"

namespace tessapak::controls {
namespace {

// The real pointer seam: the widget under a point honours the button's
// rounded shape and whatever window lies on top.
class QtPointerOverAButton : public ::testing::Test {
  protected:
    void SetUp() override {
        window_.setGeometry(100, 100, 300, 200);
        button_ = new XPButton(&window_);
        button_->setGeometry(40, 30, 94, 25);
        button_->setAmbient("jbbtn", true);
        button_->InitProperties();
        window_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    }

    QWidget window_;
    XPButton* button_ = nullptr;
};

TEST_F(QtPointerOverAButton, FindsTheButtonInsideItsShapeAndTheParentInACutCorner) {
    platform::Pointer& pointer = platform::qtPointer();
    EXPECT_EQ(pointer.widgetAt(button_->mapToGlobal(QPoint(47, 12))), button_);
    EXPECT_EQ(pointer.widgetAt(button_->mapToGlobal(QPoint(0, 0))), &window_);
    EXPECT_EQ(pointer.widgetAt(button_->mapToGlobal(QPoint(93, 24))), &window_);
}

TEST_F(QtPointerOverAButton, LetsAWindowOnTopHideTheButton) {
    QWidget cover;
    cover.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    cover.setGeometry(QRect(button_->mapToGlobal(QPoint(0, 0)), QSize(94, 25)));
    cover.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&cover));
    cover.raise();
    EXPECT_EQ(platform::qtPointer().widgetAt(button_->mapToGlobal(QPoint(47, 12))), &cover);
}

TEST_F(QtPointerOverAButton, DrivesTheHoverPollFromTheRealCursor) {
    QCursor::setPos(button_->mapToGlobal(QPoint(47, 12)));
    if (platform::qtPointer().position() != button_->mapToGlobal(QPoint(47, 12))) {
        GTEST_SKIP() << "this platform cannot place the cursor";
    }
    XPButtonTestAccess::tick(*button_);
    EXPECT_TRUE(button_->record().IsMouseOver);
    QCursor::setPos(button_->mapToGlobal(QPoint(0, 0)));
    XPButtonTestAccess::tick(*button_);
    EXPECT_FALSE(button_->record().IsMouseOver) << "the cut corner counts as outside";
}

}  // namespace
}  // namespace tessapak::controls
