// The entry point of the widget tests: one QApplication for the whole run, on Qt's offscreen
// platform unless the environment names another (the test list is also read at build time, where
// no display can be assumed).
#include <QApplication>
#include <QByteArray>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
