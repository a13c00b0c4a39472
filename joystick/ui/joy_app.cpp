#include "joystick/ui/joy_app.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstring>

#include "joystick/joy_texts.h"
#include "joystick/ui/about_dialog.h"
#include "joystick/ui/connect_dialog.h"
#include "joystick/ui/main_dialog.h"
#include "joystick/ui/resource_paths.h"
#include "platform/dialog_file.h"
#include "platform/dialog_message.h"
#include "platform/dialog_signals.h"
#include "platform/termination_signals.h"

namespace kinemo::joy::ui {
namespace {

// A stopped run ends its tick and sends all-off well within this.
constexpr int kFinalExchangeMs = 1000;

constexpr char kUsage[] =
    "Aufruf: kinemo-joy [--replay DATEI] [--settings DATEI]\n"
    "  --replay DATEI    statt eines Joysticks eine Aufnahme abspielen (virtueller Joystick)\n"
    "  --settings DATEI  Einstellungsdatei (Vorgabe: settings.kmj im Arbeitsordner)\n"
    "  --help            dieser Text\n";

}  // namespace

bool ParseJoyOptions(int argc, char** argv, JoyOptions& options, std::string& error, bool& help) {
    help = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const bool takesValue =
            std::strcmp(arg, "--replay") == 0 || std::strcmp(arg, "--settings") == 0;
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            help = true;
        } else if (takesValue) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                error = std::string("kinemo-joy: ") + arg + " braucht einen Dateinamen";
                return false;
            }
            (std::strcmp(arg, "--replay") == 0 ? options.replayPath : options.settingsPath) =
                argv[++i];
        } else {
            error = std::string("kinemo-joy: unbekanntes Argument \"") + arg + "\"";
            return false;
        }
    }
    return true;
}

JoyApp::JoyApp(JoyAppServices services) : services_(std::move(services)) {}

JoyApp::~JoyApp() {
    // Whatever ended the loop, no motor keeps running: the main window's
    // controller stops the run and waits for its all-off exchange first.
    main_.reset();
    connect_.reset();
}

int JoyApp::Exec() {
    ConnectDialogServices connectServices;
    connectServices.probeJoystick = services_.probeJoystick;
    connectServices.open = [this](const JoySettings& settings) {
        return ConnectInterface(link_, settings, nullptr);
    };
    connectServices.messages = services_.messages;
    connectServices.settingsPath = services_.settingsPath;
    connect_ = std::make_unique<ConnectDialog>(settings_, std::move(connectServices));
    const ConnectOutcome outcome = connect_->Run();
    const platform::JoystickCaps caps = connect_->Caps();
    connect_.reset();
    if (outcome != ConnectOutcome::kConnected) {
        return ExitCodeOf(outcome);
    }
    if (ending_) {
        return exitCode_;  // a signal came while the interface was being opened
    }

    MainDialogServices mainServices;
    mainServices.link = &link_;
    mainServices.source = services_.source;
    mainServices.messages = services_.messages;
    mainServices.files = services_.files;
    mainServices.endProgram = [this](int exitCode, bool save) { EndProgram(exitCode, save); };
    mainServices.showAbout = [](QWidget* parent) { platform::ShowAboutBox<AboutDialog>(parent); };
    mainServices.settingsPath = services_.settingsPath;
    mainServices.caps = caps;
    main_ = std::make_unique<MainDialog>(settings_, std::move(mainServices));
    main_->show();
    QApplication::exec();
    return exitCode_;
}

void JoyApp::EndProgram(int exitCode, bool save) {
    if (ending_) {
        return;
    }
    ending_ = true;
    exitCode_ = exitCode;
    if (main_ != nullptr) {
        // The interface must not be closed during an exchange: only once the
        // run has sent its final all-off word.
        if (main_->Controller().StopAndWait(kFinalExchangeMs)) {
            link_.Close();
        }
        if (save) {
            main_->SaveSettings();
        }
    }
    // Leaves every event loop, also that of a message box still open.
    QCoreApplication::exit(exitCode);
}

void JoyApp::OnTerminationSignal(int) {
    if (connect_ != nullptr) {
        // Also while one of its boxes is open: the box closes, the dialog
        // ends as by "Abbrechen".
        connect_->reject();
        if (QWidget* box = QApplication::activeModalWidget();
            box != nullptr && box != connect_.get()) {
            box->close();
        }
        return;
    }
    EndProgram(0, true);
}

int RunJoyProgram(int argc, char** argv) {
    // Before any thread starts, so that every thread inherits the blocked mask.
    platform::TerminationSignals termination;

    JoyOptions options;
    std::string error;
    bool help = false;
    if (!ParseJoyOptions(argc, argv, options, error, help)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    platform::JoystickSystem joysticks;
    Replay replay;
    std::unique_ptr<ReplaySource> replaySource;
    std::unique_ptr<DeviceSource> device;
    JoyAppServices services;
    if (!options.replayPath.empty()) {
        const ReplayParseResult parsed = LoadReplay(options.replayPath, replay);
        if (!parsed.ok) {
            std::fprintf(stderr, "%s\n", ReplayErrorLine(options.replayPath, parsed).c_str());
            return 2;
        }
        replaySource = std::make_unique<ReplaySource>(replay);
        if (!replaySource->Opened()) {
            std::fprintf(stderr, "kinemo-joy: kein virtueller Joystick: %s\n",
                         joysticks.Error().c_str());
            return 1;
        }
        services.source = replaySource.get();
        // The replay's lines are for the runs: the check only looks at its
        // virtual joystick.
        services.probeJoystick = [&]() -> std::optional<platform::JoystickCaps> {
            return replaySource->Caps();
        };
    } else {
        device = std::make_unique<DeviceSource>(0);
        services.source = device.get();
        services.probeJoystick = [&]() -> std::optional<platform::JoystickCaps> {
            if (!device->Opened()) {
                // Plugged in since the last look: the control loop reads this
                // same device, which no run uses yet.
                *device = DeviceSource(0);
            }
            platform::JoystickPosition position;
            if (!device->Opened() || device->Read(position) != ReadResult::kOk) {
                return std::nullopt;
            }
            return device->Caps();
        };
    }

    // The window system only once the replay is known to be good, so that a
    // refusal is the one line on standard error.
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kProgramTitle));
    QApplication::setApplicationDisplayName(QString::fromUtf8(kProgramTitle));
    QApplication::setApplicationVersion(QStringLiteral("1.4.0.0"));
    QApplication::setDesktopFileName(QStringLiteral("kinemo-joy"));
    QApplication::setQuitOnLastWindowClosed(false);
    resources::InitResources();
    QIcon icon(QString::fromLatin1(resources::kProgramIcon));
    icon.addFile(QString::fromLatin1(resources::kProgramIconSmall));
    QApplication::setWindowIcon(icon);

    platform::QtMessageService messages;
    platform::QtFileDialogService files;
    services.messages = &messages;
    services.files = &files;
    services.settingsPath = options.settingsPath;
    JoyApp app(std::move(services));
    WatchTerminationSignals(termination, &application,
                            [&app](int signalNumber) { app.OnTerminationSignal(signalNumber); });
    return app.Exec();
}

}  // namespace kinemo::joy::ui
