// Helpers of the application-frame tests: one QApplication for the test
// binary and waiting for queued results with a generous limit.
#pragma once

#include "tests/sequencer/ui/wait_until.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

namespace kinemo::ui::testing {

// The test binary's application object, named like the program so message
// captions read "Kinemo".
inline QApplication& TestApplication() {
    static int argc = 1;
    static char name[] = "kinemo-shell-test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own objects must not be torn down by static
    // destructors after main() has returned.
    static QApplication* app = new QApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kinemo"));
    return *app;
}

}  // namespace kinemo::ui::testing
