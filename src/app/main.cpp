#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include "app/browser/browser_window.h"
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

    tessapak::app::MainWindow window;
    tessapak::app::browser::installBrowserEntryPoints(
        window.findChild<QLineEdit*>(QStringLiteral("jbText1")));
    window.show();
    // A frameless window is not always activated by the window manager (or at
    // all without one); the start-up focus on 开始解包 only shows when it is.
    window.activateWindow();
    // Once the window is up, so that a message about the path shows over it.
    QTimer::singleShot(0, &window, [&window, start] {
        // An archive given to the program (or opened from a file manager) is
        // also shown in the browser, as the user most likely wants to look inside.
        tessapak::app::openStartPath(
            window, start, tessapak::platform::qtMessageBoxes(),
            [](const QString& archive) { tessapak::app::browser::openBrowserFor(archive); });
    });
    return QApplication::exec();
}
