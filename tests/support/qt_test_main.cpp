#include <gtest/gtest.h>

#include <QApplication>

#include "support/qt_test_host.h"

// Widget tests need one QApplication for the whole run; the platform is
// chosen by QT_QPA_PLATFORM (offscreen under CTest).
int main(int argc, char** argv) {
    tessapak::test::prepareWidgetTestHost();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
