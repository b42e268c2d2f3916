// Test main for suites that need widgets: one QApplication for the whole run.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    // The suites run without a display unless one is asked for explicitly; the build also
    // runs them once to list their tests, with no environment of its own.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("Veltrona Administration");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
