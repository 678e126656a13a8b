// The entry point of the window-side tests: widgets need one QApplication for the whole run.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char* argv[]) {
    // Headless also when the tests are listed at build time or started by hand.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
