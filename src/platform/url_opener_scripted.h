#pragma once

#include <QList>
#include <QUrl>

#include "platform/url_opener.h"

namespace tessapak::platform {

// Opens nothing: records every address and answers as told (true by default).
class ScriptedUrlOpener final : public UrlOpener {
  public:
    bool open(const QUrl& url) override {
        opened_.append(url);
        return succeeds_;
    }

    void setSucceeds(bool succeeds) { succeeds_ = succeeds; }
    const QList<QUrl>& opened() const { return opened_; }

  private:
    QList<QUrl> opened_;
    bool succeeds_ = true;
};

}  // namespace tessapak::platform
