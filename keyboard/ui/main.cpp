// KinemoSpeech, the keyboard and speech controller.
#include "keyboard/ui/speech_app.h"

int main(int argc, char** argv) {
    return kinemo::keyboard::ui::RunSpeechProgram(argc, argv);
}
