// The test binary's entry: the application lives in main, not in a static,
// so that Qt's input devices go before the library's own statics do. It is
// named like the program, so default message captions read "Kinemo".
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    // Also when CTest lists the tests at build time, without its environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kinemo"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
