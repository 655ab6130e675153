#pragma once

#include "app/window_chrome.h"
#include "platform/url_opener.h"

namespace tessapak::app {

// The about window: its picture, the "关于" link to the tutorial page and a
// close image. It has no owner and talks to no other window; closing it
// destroys it.
class AboutWindow : public PictureWindow {
    Q_OBJECT

  public:
    explicit AboutWindow(platform::UrlOpener& urls);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void openTutorial();

    platform::UrlOpener& urls_;
    LinkLabel* tutorialLink_ = nullptr;
    ChromeImage* closeImage_ = nullptr;
};

}  // namespace tessapak::app
