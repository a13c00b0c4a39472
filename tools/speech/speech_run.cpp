// kinemo-speech-cli run [--settings FILE] [--port COM1..COM4]
//                       [--voice WORDLIST [--audio FILE.wav | --microphone]]
//
// One run, as "LOS!" starts it in the window: the file's start settings, the
// key table fed from standard input byte by byte as the bytes arrive, and the
// end by a "Notaus" key, the off switch, the end of the input or a signal
// (these last two act as "NOT-AUS"). The main thread waits in poll() on the
// input, the signal descriptor and the control thread's end report, so it
// never spins and never delays the ticks.
//
// With --voice the recognised words' characters reach the key table too, from
// the recognition thread, exactly as typed ones. Then the end of standard
// input no longer ends the run (a pipe may carry nothing at all); a sound
// file played to its end does.
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "keyboard/box_link.h"
#include "keyboard/interface_port.h"
#include "keyboard/run_controller.h"
#include "keyboard/settings_file.h"
#include "keyboard/status_texts.h"
#include "keyboard/voice/voice_input.h"
#include "platform/termination_signals.h"
#include "tools/cli_args.h"
#include "tools/speech/speech_commands.h"

namespace kinemo::speech {
namespace {

void Status(std::FILE* err, const char* text) {
    std::fprintf(err, "%s\n", text);
    std::fflush(err);
}

// A terminal on standard input hands over every key at once (no line
// editing, no echo); Ctrl-C still sends SIGINT, and the end-of-file key
// (Ctrl-D) still ends the input. Restored on every way out.
class KeysFromTerminal {
  public:
    explicit KeysFromTerminal(int fd) : fd_(fd) {
        if (::isatty(fd) == 0 || ::tcgetattr(fd, &saved_) != 0) {
            return;
        }
        termios keys = saved_;
        keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        keys.c_cc[VMIN] = 1;
        keys.c_cc[VTIME] = 0;
        active_ = ::tcsetattr(fd, TCSANOW, &keys) == 0;
    }
    ~KeysFromTerminal() {
        if (active_) {
            ::tcsetattr(fd_, TCSANOW, &saved_);
        }
    }
    KeysFromTerminal(const KeysFromTerminal&) = delete;
    KeysFromTerminal& operator=(const KeysFromTerminal&) = delete;

    // True for the terminal's end-of-file key, which no longer ends a read.
    bool EndsInput(std::uint8_t byte) const {
        return active_ && saved_.c_cc[VEOF] != _POSIX_VDISABLE && byte == saved_.c_cc[VEOF];
    }

  private:
    int fd_;
    termios saved_{};
    bool active_ = false;
};

// The control thread's RunEnded, as a descriptor the main thread polls.
class EndedEvent {
  public:
    EndedEvent() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~EndedEvent() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    EndedEvent(const EndedEvent&) = delete;
    EndedEvent& operator=(const EndedEvent&) = delete;
    int Fd() const { return fd_; }
    void Post() const {
        const std::uint64_t one = 1;
        static_cast<void>(::write(fd_, &one, sizeof one));
    }

  private:
    int fd_;
};

int PortNumber(const std::string& name) {
    if (name.size() == 4 && name.compare(0, 3, "COM") == 0 && name[3] >= '1' && name[3] <= '4') {
        return name[3] - '0';
    }
    throw cli::CliFailure("--port muss COM1, COM2, COM3 oder COM4 sein: \"" + name + "\"");
}

}  // namespace

RunRequest ParseRunArgs(cli::CommandArgs args) {
    const cli::ParsedArgs parsed(args, {{"--settings", true},
                                        {"--port", true},
                                        {"--voice", true},
                                        {"--audio", true},
                                        {"--microphone", false}});
    parsed.Positional({});
    RunRequest request;
    request.listening = parsed.Has("--voice");
    if (request.listening) {
        request.wordListPath = *parsed.Value("--voice");
        request.wavPath = parsed.Value("--audio").value_or("");
        request.microphone = parsed.Has("--microphone");
        if (request.wordListPath.empty()) {
            throw cli::CliFailure("--voice braucht eine Wortliste");
        }
        if (request.microphone == !request.wavPath.empty()) {
            throw cli::CliFailure(
                "--voice braucht genau eines von --audio DATEI.wav und --microphone");
        }
    } else if (parsed.Has("--audio") || parsed.Has("--microphone")) {
        throw cli::CliFailure("--audio und --microphone gehen nur mit --voice");
    }
    request.settingsPath = parsed.Value("--settings").value_or(keyboard::kSettingsFileName);
    if (request.settingsPath.empty()) {
        throw cli::CliFailure("--settings braucht einen Dateinamen");
    }
    request.portNumber = PortNumber(parsed.Value("--port").value_or("COM1"));
    return request;
}

int RunCommand(const RunRequest& request, const CliStreams& streams) {
    const bool listening = request.listening;
    voice::VoiceSetup voiceSetup;
    voiceSetup.wordListPath = request.wordListPath;
    voiceSetup.wavPath = request.wavPath;
    voiceSetup.microphone = request.microphone;
    const std::string& path = request.settingsPath;
    const int portNumber = request.portNumber;

    keyboard::KeyboardSettings settings;
    if (!LoadForCommand(path, settings, streams.err)) {
        return kExitFailure;
    }
    // Set up before the port is opened, so a word list or sound file that is
    // refused never touches the box. Words act only once the run has started.
    keyboard::RunController* running = nullptr;
    std::unique_ptr<voice::VoiceInput> listener;
    const EndedEvent soundEnded;
    if (listening) {
        std::string error;
        listener = voice::CreateVoiceInput(
            voiceSetup,
            [&running, &settings, err = streams.err](unsigned char character,
                                                     std::string_view word) {
                running->HandleKey(settings.keys, character);
                std::fprintf(err, "Gehört: %.*s\n", static_cast<int>(word.size()), word.data());
                std::fflush(err);
            },
            error);
        if (listener == nullptr) {
            Status(streams.err, error.c_str());
            return kExitFailure;
        }
        listener->OnFinished([&soundEnded] { soundEnded.Post(); });
    }
    keyboard::InterfacePort port;
    if (!port.connect(portNumber)) {
        Status(streams.err, keyboard::kNoConnectionText);
        return kExitFailure;
    }

    const EndedEvent ended;
    if (ended.Fd() < 0 || soundEnded.Fd() < 0) {
        throw std::runtime_error("eventfd");
    }
    keyboard::PortLink link(port);
    const keyboard::LiveSettings live(settings.start);
    keyboard::RunController controller(
        link, live, [&ended](std::uint32_t, keyboard::StopReason) { ended.Post(); });
    running = &controller;
    const KeysFromTerminal terminal(streams.input);
    if (controller.Start() != keyboard::StartResult::kStarted) {
        Status(streams.err, keyboard::kNoConnectionText);
        return kExitFailure;
    }
    Status(streams.err, keyboard::kStatusRun);
    if (listener != nullptr) {
        listener->Start();
    }

    bool stopShown = false;
    const auto stop = [&] {
        if (listener != nullptr) {
            listener->Stop();  // no word acts after the stop
        }
        if (!stopShown && controller.Variables().Stopped() == keyboard::kNotStopped) {
            controller.RequestStop(keyboard::kStopButton);
            Status(streams.err, keyboard::kStatusStopped);
        }
        stopShown = true;
    };

    enum { kEnded, kSignals, kInput, kSoundEnded };
    pollfd watched[4] = {
        {ended.Fd(), POLLIN, 0},
        {streams.signals != nullptr ? streams.signals->Fd() : -1, POLLIN, 0},
        {streams.input, POLLIN, 0},
        {listener != nullptr ? soundEnded.Fd() : -1, POLLIN, 0},
    };
    for (;;) {
        if (::poll(watched, 4, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            stop();  // cannot wait any more: end the run and wait for its report
            watched[kSignals].fd = -1;
            watched[kInput].fd = -1;
            watched[kSoundEnded].fd = -1;
            continue;
        }
        if (watched[kSoundEnded].revents != 0) {
            watched[kSoundEnded].fd = -1;  // the sound file has played to its end
            stop();
        }
        if (watched[kEnded].revents != 0) {
            break;
        }
        if (watched[kSignals].revents != 0 && streams.signals->Take() != 0) {
            stop();
        }
        if (watched[kInput].revents != 0) {
            std::uint8_t bytes[4096];
            const ssize_t got = ::read(streams.input, bytes, sizeof bytes);
            ssize_t handled = 0;
            while (handled < got && !terminal.EndsInput(bytes[handled])) {
                controller.HandleKey(settings.keys, bytes[handled++]);
            }
            if (handled < got || got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) {
                watched[kInput].fd = -1;  // end of input
                if (listener == nullptr || handled < got) {
                    stop();
                }
            }
        }
    }
    if (listener != nullptr) {
        listener->Stop();
    }
    controller.WaitUntilIdle(1000);
    controller.OnRunEnded();
    if (controller.Variables().Stopped() == keyboard::kLinkLost) {
        Status(streams.err, keyboard::kLinkLostText);
        return kExitFailure;
    }
    Status(streams.err, keyboard::kStatusEnded);
    return kExitOk;
}

}  // namespace kinemo::speech
