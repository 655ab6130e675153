#include <QDir>
#include <QFileDialog>

#include "platform/file_dialog.h"

namespace tessapak::platform {

namespace {

// The dialogs start where the system places them: no remembered folder.
class QtFileDialogs final : public FileDialogs {
  public:
    QString openFileName(QWidget* parent, const QString& title, const QString& filter) override {
        return QDir::toNativeSeparators(QFileDialog::getOpenFileName(parent, title, {}, filter));
    }

    QString saveFileName(QWidget* parent, const QString& title, const QString& filter) override {
        return QDir::toNativeSeparators(QFileDialog::getSaveFileName(
            parent, title, {}, filter, nullptr, QFileDialog::DontConfirmOverwrite));
    }

    QString folderName(QWidget* parent, const QString& title) override {
        return QDir::toNativeSeparators(QFileDialog::getExistingDirectory(parent, title));
    }
};

}  // namespace

FileDialogs& qtFileDialogs() {
    static QtFileDialogs dialogs;
    return dialogs;
}

}  // namespace tessapak::platform
