#include "app/about_window.h"

#include <QKeyEvent>
#include <QPainter>
#include <QUrl>

#include "app/window_chrome.h"

namespace tessapak::app {

about::about(platform::UrlOpener& urls)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), urls_(urls) {
    setObjectName(QStringLiteral("about"));
    // The caption is empty, but Qt hands an empty one to the system as the
    // program's name, which task lists then show; a blank shows nothing.
    setWindowTitle(QStringLiteral(" "));
    // A screen reader needs a word for the window all the same.
    setAccessibleName(QStringLiteral("关于"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(278, 160);
    setFont(windowFont());
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    // Keys reach the window itself: it has no control that takes the focus.
    setFocusPolicy(Qt::StrongFocus);
    background_.load(QStringLiteral(":/tessapak/about_background.gif"));

    Label2 = new LinkLabel(this, QPoint(16, 8), QStringLiteral("关于"));
    Label2->setObjectName(QStringLiteral("Label2"));
    // The caption lies on the title strip, over the same word in the picture.
    QPalette palette = Label2->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    Label2->setPalette(palette);
    Label2->setForegroundRole(QPalette::WindowText);
    Image1 = new ChromeImage(this, QRect(252, 5, 22, 15), QStringLiteral("关闭"));
    Image1->setObjectName(QStringLiteral("Image1"));
    connect(Label2, &LinkLabel::Click, this, &about::Label2_Click);
    connect(Image1, &ChromeImage::Click, this, &about::Image1_Click);

    Form_Load();
}

void about::Form_Load() {
    hHandCursor = QCursor(Qt::PointingHandCursor);
    Label2->setCursor(hHandCursor);
    Image1->setCursor(hHandCursor);
}

void about::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, background_);
}

void about::mousePressEvent(QMouseEvent* event) {
    if (startWindowDrag(this, event)) {
        emit moveRequested();
    }
}

// Any key that produces a character closes the window; arrows, function keys
// and modifiers alone do not. Qt gives some character keys no text on some
// platforms, so those are named as well.
void about::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_Backspace:
        case Qt::Key_Tab:
            close();
            return;
        default:
            break;
    }
    if (!event->text().isEmpty()) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void about::Image1_Click() {
    close();
}

void about::Label2_Click() {
    OpenURL(siteAddress(QStringLiteral("/qq/jiaocheng/2012/192.html")));
}

void about::OpenURL(const QString& target) {
    urls_.open(QUrl(target));
}

}  // namespace tessapak::app
