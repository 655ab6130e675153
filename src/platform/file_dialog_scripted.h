#pragma once

#include <QList>
#include <QString>

#include "platform/file_dialog.h"

namespace tessapak::platform {

// Dialogs that show nothing: each call is recorded and answered from a queue;
// an empty queue answers as a cancel.
class ScriptedFileDialogs final : public FileDialogs {
  public:
    enum class Kind { Open, Save, Folder };
    struct Asked {
        Kind kind;
        QString title;
        QString filter;
    };

    QString openFileName(QWidget* /*parent*/, const QString& title,
                         const QString& filter) override {
        return answer({Kind::Open, title, filter});
    }
    QString saveFileName(QWidget* /*parent*/, const QString& title,
                         const QString& filter) override {
        return answer({Kind::Save, title, filter});
    }
    QString folderName(QWidget* /*parent*/, const QString& title) override {
        return answer({Kind::Folder, title, {}});
    }

    void answerNext(const QString& path) { answers_.append(path); }
    void cancelNext() { answers_.append(QString()); }

    const QList<Asked>& asked() const { return asked_; }

  private:
    QString answer(const Asked& asked) {
        asked_.append(asked);
        return answers_.isEmpty() ? QString() : answers_.takeFirst();
    }

    QList<Asked> asked_;
    QList<QString> answers_;
};

}  // namespace tessapak::platform
