#include "app/about_window.h"

#include <QKeyEvent>
#include <QUrl>

#include "app/accessible_chrome.h"

namespace tessapak::app {

AboutWindow::AboutWindow(platform::UrlOpener& urls)
    : PictureWindow(QStringLiteral(":/tessapak/about_background.gif"), QSize(278, 160)),
      urls_(urls) {
    installAccessibility();
    setObjectName(QStringLiteral("about"));
    // The caption is empty, but Qt hands an empty one to the system as the
    // program's name, which task lists then show; a blank shows nothing.
    setWindowTitle(QStringLiteral(" "));
    // A screen reader needs a word for the window all the same.
    setAccessibleName(QStringLiteral("关于"));
    setAttribute(Qt::WA_DeleteOnClose);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    // Keys reach the window itself: it has no control that takes the focus.
    setFocusPolicy(Qt::StrongFocus);

    tutorialLink_ = new LinkLabel(this, QPoint(16, 8), QStringLiteral("关于"));
    tutorialLink_->setObjectName(QStringLiteral("Label2"));
    // The caption lies on the title strip, over the same word in the picture.
    QPalette palette = tutorialLink_->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    tutorialLink_->setPalette(palette);
    tutorialLink_->setForegroundRole(QPalette::WindowText);
    tutorialLink_->setCursor(Qt::PointingHandCursor);
    closeImage_ = new ChromeImage(this, QRect(252, 5, 22, 15), QStringLiteral("关闭"));
    closeImage_->setObjectName(QStringLiteral("Image1"));
    closeImage_->setCursor(Qt::PointingHandCursor);
    connect(tutorialLink_, &LinkLabel::Click, this, &AboutWindow::openTutorial);
    connect(closeImage_, &ChromeImage::Click, this, &AboutWindow::close);
}

// Any key that produces a character closes the window; arrows, function keys
// and modifiers alone do not. Qt gives some character keys no text on some
// platforms, so those are named as well.
void AboutWindow::keyPressEvent(QKeyEvent* event) {
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

void AboutWindow::openTutorial() {
    urls_.open(QUrl(siteAddress(QStringLiteral("/qq/jiaocheng/2012/192.html"))));
}

}  // namespace tessapak::app
