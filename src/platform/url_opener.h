#pragma once

#include <QUrl>

namespace tessapak::platform {

// Hands a web address to the user's browser.
class UrlOpener {
  public:
    virtual ~UrlOpener() = default;

    // False when nothing could open it; callers may ignore that.
    virtual bool open(const QUrl& url) = 0;
};

// QDesktopServices, that is the desktop's registered browser.
UrlOpener& qtUrlOpener();

}  // namespace tessapak::platform
