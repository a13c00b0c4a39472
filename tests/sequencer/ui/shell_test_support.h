// Helpers of the application-frame tests: the application object and waiting
// for queued results with a generous limit.
#pragma once

#include "tests/platform/dialog_test_support.h"
#include "tests/sequencer/ui/wait_until.h"

namespace kinemo::ui::testing {

// The application object, which main() creates (tests/platform/dialog_test_main.cpp).
inline QApplication& TestApplication() {
    return platform::testing::DialogTestApplication();
}

}  // namespace kinemo::ui::testing
