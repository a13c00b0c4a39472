// Names the test binary's application like the program, so that message
// boxes without a caption of their own read "KinemoJoy" as in the program.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "joystick/joy_texts.h"

namespace {

class ProgramTitle : public ::testing::Environment {
  public:
    void SetUp() override {
        QCoreApplication::setApplicationName(QString::fromUtf8(kinemo::joy::kProgramTitle));
    }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new ProgramTitle);

}  // namespace
