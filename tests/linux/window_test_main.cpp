// The window tests need one QApplication for the whole run. Without a display they use Qt's
// offscreen platform; QT_QPA_PLATFORM=xcb with a DISPLAY runs them on a real X server instead.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
