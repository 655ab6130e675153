#include <QByteArray>
#include <QtGlobal>

#include "support/qt_test_host.h"

namespace tessapak::test {

// Wine drops every QT_ variable of the calling environment, so the platform
// is chosen here unless the caller chose one. Offscreen on Windows reads
// fonts from one folder only: the one the build found holding the Chinese
// font (under wine, the host's), else the system's own.
void prepareWidgetTestHost() {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_FONTDIR")) {
        const QByteArray built(TESSAPAK_TEST_FONT_DIR);
        qputenv("QT_QPA_FONTDIR", built.isEmpty() ? qgetenv("WINDIR") + "/Fonts" : built);
    }
}

}  // namespace tessapak::test
