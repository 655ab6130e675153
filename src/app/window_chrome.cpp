#include "app/window_chrome.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QUrl>
#include <QWindow>

namespace tessapak::app {

namespace {

// The form runtime's click rule for the windowless controls: a left press on the
// control, then its release inside it. Every press is taken, so none falls
// through to the window and starts a drag.
void notePress(bool& leftPressed, QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton) {
        leftPressed = true;
    }
}

bool isClickRelease(bool& leftPressed, const QWidget* control, QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton) {
        return false;
    }
    const bool click = leftPressed && control->rect().contains(event->position().toPoint());
    leftPressed = false;
    return click;
}

}  // namespace

QString siteAddress(const QString& path) {
    return QStringLiteral("http://") + QLatin1String(kSiteDomain) + path;
}

QFont windowFont() {
    QFont font;
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Microsoft YaHei"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("SimSun")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(12);
    return font;
}

bool startWindowDrag(QWidget* window, const QMouseEvent* event) {
    if (event->buttons() != Qt::LeftButton) {
        return false;
    }
    if (window->childAt(event->position().toPoint()) != nullptr) {
        return false;
    }
    // The platform runs its own move loop, as for a drag on a title bar; where
    // it cannot (offscreen), the window simply stays where it is.
    if (QWindow* handle = window->windowHandle()) {
        handle->startSystemMove();
    }
    return true;
}

PictureWindow::PictureWindow(const QString& picture, const QSize& size)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), picture_(picture) {
    setFixedSize(size);
    setFont(windowFont());
}

double PictureWindow::pictureScaleFor(double ratio) {
    for (const double scale : kPictureScales) {
        if (scale >= ratio - 0.01) {
            return scale;
        }
    }
    return kPictureScales[std::size(kPictureScales) - 1];
}

// Loaded when first shown at a scale: most screens only ever need one.
const QPixmap& PictureWindow::pictureAt(double scale) {
    std::size_t index = 0;
    while (index + 1 < std::size(kPictureScales) && kPictureScales[index] != scale) {
        ++index;
    }
    QPixmap& picture = pictures_[index];
    if (picture.isNull()) {
        QString path = picture_;
        if (index > 0) {
            path.insert(path.lastIndexOf(QLatin1Char('.')), QStringLiteral("@%1x").arg(scale));
        }
        picture.load(path);
        picture.setDevicePixelRatio(scale);
    }
    return picture;
}

// The picture drawn for the screen's scale, device pixel for device pixel: a
// 1x picture scaled up would blur the title, the symbols and the brand.
void PictureWindow::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    // The painter's scale is the screen's, or that of an image the window is
    // rendered into.
    const double ratio = painter.deviceTransform().m11();
    painter.drawPixmap(QPointF(0, 0), pictureAt(pictureScaleFor(ratio)));
}

void PictureWindow::mousePressEvent(QMouseEvent* event) {
    if (startWindowDrag(this, event)) {
        emit moveRequested();
    }
}

ChromeImage::ChromeImage(QWidget* parent, const QRect& geometry, const QString& toolTip)
    : QWidget(parent) {
    setGeometry(geometry);
    setToolTip(toolTip);
    // The symbol is part of the window's picture; this widget paints nothing.
    setAttribute(Qt::WA_NoSystemBackground);
}

// Qt would show the tip of a disabled widget; a disabled control shows none.
bool ChromeImage::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && !isEnabled()) {
        return true;
    }
    return QWidget::event(event);
}

void ChromeImage::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled() && underMouse() &&
        QToolTip::isVisible()) {
        QToolTip::hideText();
    }
    QWidget::changeEvent(event);
}

void ChromeImage::mousePressEvent(QMouseEvent* event) {
    notePress(leftPressed_, event);
}

void ChromeImage::mouseReleaseEvent(QMouseEvent* event) {
    if (isClickRelease(leftPressed_, this, event)) {
        emit Click();
    }
}

LinkLabel::LinkLabel(QWidget* parent, const QPoint& position, const QString& caption)
    : QLabel(parent) {
    move(position);
    setCaption(this, caption);
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    notePress(leftPressed_, event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (isClickRelease(leftPressed_, this, event)) {
        emit Click();
    }
}

PanelFrame::PanelFrame(QWidget* parent, const QString& caption, const QRect& geometry)
    : QGroupBox(caption, parent) {
    setGeometry(geometry);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);
}

void PanelFrame::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int line = metrics.height() / 2;
    const QRect box = rect().adjusted(0, line, -1, -1);
    // Etched: a grey line with a white one just inside it. The white goes
    // first, so that where the two cross (top right, bottom left) the grey
    // line stays whole.
    painter.setPen(Qt::white);
    painter.drawRect(box.adjusted(1, 1, 0, 0));
    painter.setPen(QColor(0xA0, 0xA0, 0xA0));
    painter.drawRect(box.adjusted(0, 0, -1, -1));

    const int textWidth = metrics.horizontalAdvance(title());
    const QRect titleRect(8, 0, textWidth + 4, metrics.height());
    painter.fillRect(titleRect, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(titleRect, Qt::AlignCenter, title());
}

namespace {

// True when every digit of the font has the same advance, as in most UI
// faces; then swapping digits never changes a text's width.
bool hasTabularDigits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int zero = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit) {
        if (metrics.horizontalAdvance(QLatin1Char(digit)) != zero) {
            return false;
        }
    }
    return true;
}

// The progress lines differ from one file to the next only in digits; with
// tabular digits such a change keeps the size that adjustSize gave before,
// and measuring the text again for every file would cost more than the
// repaint itself.
bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool keepsItsWidth(const QLabel* label, const QString& before, const QString& after) {
    if (before.size() != after.size() || before.isEmpty()) {
        return false;
    }
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (before[i] != after[i] && !(isAsciiDigit(before[i]) && isAsciiDigit(after[i]))) {
            return false;
        }
    }
    static QFont checkedFont;
    static bool tabular = false;
    static bool checked = false;
    if (!checked || label->font() != checkedFont) {
        checkedFont = label->font();
        tabular = hasTabularDigits(checkedFont);
        checked = true;
    }
    return tabular;
}

// A label held at one size stays held, at its new size; a held label has a
// maximum size, a free one has none.
void sizeLabel(QLabel* label, const QSize& size) {
    if (label->maximumSize() != QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX)) {
        label->setFixedSize(size);
    } else {
        label->resize(size);
    }
}

}  // namespace

void setCaption(QLabel* label, const QString& caption) {
    const QString before = label->text();
    label->setText(caption);
    if (caption.isEmpty()) {
        sizeLabel(label, QSize(6, 12));
    } else if (!keepsItsWidth(label, before, caption)) {
        // QLabel never hints below its minimum size, which a held label has
        // at its old size: without this it could only grow.
        label->setMinimumSize(0, 0);
        sizeLabel(label, label->sizeHint());
    }
}

}  // namespace tessapak::app
