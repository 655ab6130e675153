#pragma once

#include <QCursor>
#include <QPixmap>
#include <QWidget>

#include "platform/url_opener.h"

namespace tessapak::app {

class ChromeImage;
class LinkLabel;

// The about window: its picture, the "关于" link to the tutorial page and a
// close image. It has no owner and talks to no other window; closing it
// destroys it.
class about : public QWidget {
    Q_OBJECT

  public:
    explicit about(platform::UrlOpener& urls);

  signals:
    // The window asked the platform to move it (a press on its bare area).
    void moveRequested();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Form_Load();
    void Image1_Click();
    void Label2_Click();
    void OpenURL(const QString& target);

    platform::UrlOpener& urls_;
    QPixmap background_;
    QCursor hHandCursor;
    LinkLabel* Label2 = nullptr;
    ChromeImage* Image1 = nullptr;
};

}  // namespace tessapak::app
