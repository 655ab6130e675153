#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEvent>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <cmath>

#include "app/status_label.h"

namespace tessapak::app {
namespace {

class PaintCounter : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            painted = static_cast<QLabel*>(watched)->text();
        }
        return false;
    }
    int paints = 0;
    QString painted;
};

// A run sets the status for every file and pumps events once; the label
// follows every text but repaints at most once per display frame, and the
// last text is painted when the frame ends.
TEST(StatusLine, RepaintsAtMostOncePerFrameAndFinallyShowsTheLastText) {
    QWidget frame;
    frame.resize(300, 40);
    auto* status = new StatusLabel(&frame, QPoint(5, 5), QPalette::Button);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    PaintCounter counter;
    status->installEventFilter(&counter);

    QElapsedTimer elapsed;
    elapsed.start();
    const int files = 3000;
    for (int i = 1; i <= files; ++i) {
        status->setStatus(QStringLiteral("文件总数: %1 ,正在处理.%2").arg(files).arg(i));
        ASSERT_EQ(status->size(), status->sizeHint());
        QCoreApplication::processEvents();
    }
    const double frameMs = 1000 / status->screen()->refreshRate();
    const int frames = static_cast<int>(std::ceil(elapsed.elapsed() / frameMs));
    EXPECT_LE(counter.paints, frames + 1);
    EXPECT_EQ(status->text(), QStringLiteral("文件总数: 3000 ,正在处理.3000"));

    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.painted == status->text(); }, 2000))
        << "the last text is painted";
    EXPECT_TRUE(status->updatesEnabled());
}

// The line sizes itself to each text, smaller as well as larger: a short
// text after a long one leaves no long coloured bar.
TEST(StatusLine, ShrinksToAShorterText) {
    QWidget frame;
    auto* status = new StatusLabel(&frame, QPoint(5, 5), QPalette::Button);
    const auto widthAlone = [&](const QString& text) {
        QLabel alone(text);
        alone.setFont(status->font());
        return alone.sizeHint().width();
    };
    status->setStatus(QStringLiteral("文件总数: 3 ,正在处理.3"));
    EXPECT_EQ(status->width(), widthAlone(QStringLiteral("文件总数: 3 ,正在处理.3")));
    for (const QString& text : {QStringLiteral("完成解包。"), QStringLiteral("开始解包...")}) {
        status->setStatus(text);
        EXPECT_EQ(status->width(), widthAlone(text)) << text.toStdString();
        EXPECT_EQ(status->minimumSize(), status->maximumSize()) << "still held at its size";
    }
}

}  // namespace
}  // namespace tessapak::app
