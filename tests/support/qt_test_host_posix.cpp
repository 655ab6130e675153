#include "support/qt_test_host.h"

namespace tessapak::test {

// CTest chooses the offscreen platform through QT_QPA_PLATFORM, and
// fontconfig finds the fonts.
void prepareWidgetTestHost() {}

}  // namespace tessapak::test
