// One QApplication for the dialog-layer tests, named like a program so that
// default captions are predictable.
#pragma once

#include <QApplication>
#include <QCoreApplication>

namespace kinemo::platform::testing {

inline QApplication& DialogTestApplication() {
    static int argc = 1;
    static char name[] = "kinemo-dialog-test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kinemo"));
    return app;
}

}  // namespace kinemo::platform::testing
