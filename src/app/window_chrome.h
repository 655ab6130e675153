#pragma once

#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <iterator>

class QMouseEvent;

namespace tessapak::app {

// The maker's web site, in the main window's caption and both links.
inline constexpr char kSiteDomain[] = "www.morvena.example";

// "http://" + kSiteDomain + path.
QString siteAddress(const QString& path);

// The default GUI font of a Simplified Chinese desktop: a CJK sans face with
// a 12-pixel em, which the windows' fixed layout was measured in.
QFont windowFont();

// Starts the platform's own window move when a press of the left button
// alone lands on the bare client area of window (not on one of its
// controls). Returns whether a move was asked for.
bool startWindowDrag(QWidget* window, const QMouseEvent* event);

// A frameless window drawn as one picture, moved by a press on its bare
// area. Both windows are one; assistive technology sees it as a window.
class PictureWindow : public QWidget {
    Q_OBJECT

  public:
    // picture is the path of the 1x picture; the same path with "@1.5x" and
    // "@2x" before the extension holds it drawn for those scales.
    PictureWindow(const QString& picture, const QSize& size);

    // The scales the pictures are drawn at, and the one the window shows at
    // a device pixel ratio: the smallest that is not below it, else the largest.
    static constexpr double kPictureScales[] = {1.0, 1.5, 2.0};
    static double pictureScaleFor(double ratio);

  signals:
    // The window asked the platform to move it (a press on its bare area).
    void moveRequested();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    const QPixmap& pictureAt(double scale);

    QString picture_;
    QPixmap pictures_[std::size(kPictureScales)];
};

// A windowless image control over a background picture: it has no picture
// of its own, catches the mouse, shows its tool tip and raises Click for a
// left press and release inside it. Disabled, it gets no mouse at all, so
// Qt shows the parent's cursor over it, and shows no tool tip.
class ChromeImage : public QWidget {
    Q_OBJECT

  public:
    ChromeImage(QWidget* parent, const QRect& geometry, const QString& toolTip);

  signals:
    void Click();

  protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool leftPressed_ = false;
};

// A transparent label that sizes itself to its caption and raises Click like
// ChromeImage. Presses on it never reach the window, so they never drag it.
class LinkLabel : public QLabel {
    Q_OBJECT

  public:
    LinkLabel(QWidget* parent, const QPoint& position, const QString& caption);

  signals:
    void Click();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool leftPressed_ = false;
};

// A frame as the form runtime draws one: a white panel with a thin etched border
// whose caption sits on the border's top line at the left.
class PanelFrame : public QGroupBox {
    Q_OBJECT

  public:
    PanelFrame(QWidget* parent, const QString& caption, const QRect& geometry);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// Sets a label's caption and sizes the label to it; an empty caption leaves
// the label at 6 x 12 pixels, the size of an empty auto-sized label. A label
// held at a fixed size is held at the new one.
void setCaption(QLabel* label, const QString& caption);

}  // namespace tessapak::app
