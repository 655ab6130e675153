#include <QApplication>

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

    tessapak::app::MainWindow window;
    window.show();
    // A frameless window is not always activated by the window manager (or at
    // all without one); the start-up focus on 开始解包 only shows when it is.
    window.activateWindow();
    return QApplication::exec();
}
