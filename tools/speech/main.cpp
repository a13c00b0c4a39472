// kinemo-speech-cli: KinemoSpeech's engine on the command line.
#include <string>
#include <vector>

#include "platform/termination_signals.h"
#include "tools/speech/speech_cli.h"

int main(int argc, char** argv) {
    // First, before any thread starts: the signals become a descriptor.
    kinemo::platform::TerminationSignals signals;
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    kinemo::speech::CliStreams streams;
    streams.signals = &signals;
    return kinemo::speech::RunSpeechCli(args, streams);
}
