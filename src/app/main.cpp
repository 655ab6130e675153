#include <QApplication>
#include <QLineEdit>

#include "app/browser/browser_window.h"
#include "app/main_window.h"
#include "app/qt_translations.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessapak"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    // Closing the main window from the system leaves an open about window
    // running; the program ends with its last window.
    QApplication::setQuitOnLastWindowClosed(true);
    tessapak::app::installQtTranslations();

    // "tessapak skin.rdb" (and opening an archive from a file manager) looks inside it.
    if (const QStringList arguments = QApplication::arguments(); arguments.size() > 1) {
        tessapak::app::browser::openBrowserFor(arguments.at(1));
        return QApplication::exec();
    }

    tessapak::app::MainWindow window;
    tessapak::app::browser::installBrowserEntryPoints(
        window.findChild<QLineEdit*>(QStringLiteral("jbText1")));
    window.show();
    // A frameless window is not always activated by the window manager (or at
    // all without one); the start-up focus on 开始解包 only shows when it is.
    window.activateWindow();
    return QApplication::exec();
}
