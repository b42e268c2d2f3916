// Test main for suites that need widgets: one QApplication for the whole run.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Veltrona Administration");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
