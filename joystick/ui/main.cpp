// KinemoJoy, the real-time joystick controller.
#include "joystick/ui/joy_app.h"

int main(int argc, char** argv) {
    return kinemo::joy::ui::RunJoyProgram(argc, argv);
}
