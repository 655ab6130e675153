#pragma once

namespace tessapak::test {

// Whatever the host needs before the QApplication of a widget test exists.
void prepareWidgetTestHost();

}  // namespace tessapak::test
