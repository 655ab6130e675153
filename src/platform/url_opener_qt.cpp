#include <QDesktopServices>

#include "platform/url_opener.h"

namespace tessapak::platform {

namespace {

class QtUrlOpener final : public UrlOpener {
  public:
    bool open(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

}  // namespace

UrlOpener& qtUrlOpener() {
    static QtUrlOpener opener;
    return opener;
}

}  // namespace tessapak::platform
