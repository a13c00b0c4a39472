// Kinemo, the movement sequencer.
#include "sequencer/ui/sequencer_app.h"

int main(int argc, char** argv) {
    return kinemo::ui::RunSequencerProgram(argc, argv);
}
