// The QApplication of the dialog-layer tests.
#pragma once

#include <QApplication>
#include <QCoreApplication>

namespace kinemo::platform::testing {

// The application object, which main() creates (dialog_test_main.cpp).
inline QApplication& DialogTestApplication() {
    return *static_cast<QApplication*>(QCoreApplication::instance());
}

}  // namespace kinemo::platform::testing
