#pragma once

#include <QString>

class QWidget;

namespace tessapak::platform {

// The standard file and folder dialogs. Every function returns the chosen
// path with the platform's separators, or an empty string on cancel.
class FileDialogs {
  public:
    virtual ~FileDialogs() = default;

    // Picks an existing file.
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& filter) = 0;
    // Picks a file name to write, existing or not. The dialog itself asks
    // nothing about an existing file: the caller does.
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& filter) = 0;
    // Picks an existing folder; no trailing separator except for a root.
    virtual QString folderName(QWidget* parent, const QString& title) = 0;
};

// Qt's dialogs (the platform's native ones where it has them).
FileDialogs& qtFileDialogs();

}  // namespace tessapak::platform
