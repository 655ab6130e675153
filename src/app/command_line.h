#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QCoreApplication;
class QWidget;

namespace tessapak::platform {
class MessageBoxes;
}

namespace tessapak::app {

// What `tessapak [PATH]` asks the window to show when it opens.
struct StartPath {
    enum class Kind {
        None,      // no path: the window as always
        Archive,   // an .rdb file, or any file that starts like an archive
        Folder,    // a folder to pack
        Missing,   // nothing at that path
        Unusable,  // a file that is not an archive, or something else
    };
    Kind kind = Kind::None;
    // Absolute, cleaned, in the host's separators: as the path boxes show it.
    QString path;
};

// Handles --help and --version, and ends the program on them or on an
// unknown option as Qt's own parser does; returns the path argument, if any.
// Qt decodes the arguments (from UTF-16 on Windows), so any script comes through.
QString startArgument(const QCoreApplication& application);

// Looks at the path on disk; a relative path is taken from the current folder.
StartPath classifyStartPath(const QString& argument);

// Puts the start path into the main window, whose path boxes are found by
// name: an archive into the unpack panel, then showArchive (when given) is
// called with it; a folder into the pack panel, each with its second box
// filled as the panel's first browse button fills it. Anything else is
// explained in a message box over the window.
void openStartPath(QWidget& window, const StartPath& start, platform::MessageBoxes& messages,
                   const std::function<void(const QString&)>& showArchive);

}  // namespace tessapak::app
