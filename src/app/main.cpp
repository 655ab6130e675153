#include <QApplication>
#include <QTimer>

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/qt_translations.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessapak"));
    QApplication::setApplicationVersion(QStringLiteral(TESSAPAK_VERSION));
    // Closing the main window from the system leaves an open about window
    // running; the program ends with its last window.
    QApplication::setQuitOnLastWindowClosed(true);
    tessapak::app::installQtTranslations();
    const tessapak::app::StartPath start =
        tessapak::app::classifyStartPath(tessapak::app::startArgument(application));

    tessapak::app::Form1 window;
    window.show();
    // A frameless window is not always activated by the window manager (or at
    // all without one); the start-up focus on jbbtn only shows when it is.
    window.activateWindow();
    // Once the window is up, so that a message about the path shows over it.
    QTimer::singleShot(0, &window, [&window, start] {
        tessapak::app::openStartPath(window, start, tessapak::platform::qtMessageBoxes(), {});
    });
    return QApplication::exec();
}
