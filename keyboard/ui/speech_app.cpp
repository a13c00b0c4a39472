#include "keyboard/ui/speech_app.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstring>

#include "keyboard/ui/about_dialog.h"
#include "keyboard/ui/main_dialog_ids.h"
#include "keyboard/ui/resource_paths.h"
#include "keyboard/ui/voice_settings.h"
#include "platform/dialog_connect.h"
#include "platform/dialog_signals.h"

namespace kinemo::keyboard::ui {
namespace {

// How long the end of the program waits for a run's final all-off exchange.
constexpr int kFinalExchangeWaitMs = 1000;

void ShowProgramMessage(platform::MessageService& messages, const QString& text, QWidget* parent) {
    platform::MessageRequest request;
    request.text = text;
    request.caption = QString::fromLatin1(kProgramTitle);
    request.buttons = platform::MessageButtons::kOk;
    messages.Show(parent, request);
}

}  // namespace

const char kSpeechUsage[] =
    "Aufruf: kinemo-speech [--audio DATEI.wav]\n"
    "KinemoSpeech: steuert die Motoren des Interfaces mit Tasten, die im\n"
    "Eingabefeld ankommen, und mit \"Spracheingabe\" mit gesprochenen Wörtern\n"
    "einer Wortliste (Vorgabe: die mitgelieferte befehle.txt).\n"
    "  --audio DATEI.wav  die Spracheingabe hört diese Datei (16 kHz mono)\n"
    "                     statt des Mikrofons; sie wird abgespielt, sobald\n"
    "                     das Zuhören beginnt (mit dem ersten Lauf)\n"
    "  --help             dieser Text\n"
    "Die Einstellungen stehen in settings.kms im Arbeitsordner, die der\n"
    "Spracheingabe daneben in spracheingabe.txt.\n";

bool ParseSpeechOptions(int argc, char** argv, SpeechOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            options.help = true;
        } else if (std::strcmp(arg, "--audio") == 0) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                error = "kinemo-speech: --audio braucht einen Dateinamen";
                return false;
            }
            options.audioPath = argv[++i];
        } else {
            error = std::string("kinemo-speech: unbekanntes Argument \"") + arg + "\"";
            return false;
        }
    }
    return true;
}

SpeechApp::SpeechApp(const SpeechAppServices& services) : services_(services) {
    resources::InitResources();
    main_ = std::make_unique<MainDialog>(*services_.link, *services_.messages);
    main_->SetVoiceServices(services_.files, services_.audioPath);
    main_->SetAboutHandler([](QWidget* parent) { platform::ShowAboutBox<AboutDialog>(parent); });
    // "&Ende", Escape and the close box of the main window end the program.
    connect(main_.get(), &QDialog::finished, this, [] { EndProgram(); });

    ConnectDialogServices connectServices;
    InterfacePort* port = services_.port;
    connectServices.connect = [port](int number) { return port->connect(number); };
    connectServices.messages = services_.messages;
    connectServices.cancel = [this] { CancelProgram(); };
    connect_ = std::make_unique<ConnectDialog>(std::move(connectServices));
}

SpeechApp::~SpeechApp() = default;

void SpeechApp::EndProgram() {
    QCoreApplication::exit(0);
}

void SpeechApp::CancelProgram() {
    cancelled_ = true;
    QCoreApplication::exit(0);
}

int SpeechApp::Exec() {
    platform::ShowConnectDialogBeside(*main_, *connect_);
    QApplication::exec();
    connect_->hide();
    main_->StopListening();
    main_->StopRunAndWait(kFinalExchangeWaitMs);
    if (!cancelled_) {
        SaveSettings();
    }
    main_->hide();
    return 0;
}

void SpeechApp::SaveSettings() {
    const SaveResult result = SaveSettingsFile(services_.settingsPath, main_->CurrentSettings());
    if (!result.ok) {
        ShowProgramMessage(*services_.messages, QString::fromStdString(SaveFailedMessage(result)),
                           main_.get());
    }
    // Beside settings.kms: where that could not be saved, this fails for the
    // same reason, and one box says it.
    const SaveResult voice =
        SaveVoiceSettings(VoiceSettingsPath(services_.settingsPath), main_->CurrentVoiceSettings());
    if (result.ok && !voice.ok) {
        ShowProgramMessage(*services_.messages,
                           QString::fromStdString(VoiceSaveFailedMessage(voice)), main_.get());
    }
}

int RunSpeechSession(const SpeechAppServices& services, platform::TerminationSignals* termination) {
    // Watched from the start: a signal also closes a message box that is up
    // (the refused file's, a failed save's), since ending the event loop ends
    // the box's loop too.
    QObject watchScope;
    if (termination != nullptr) {
        WatchTerminationSignals(*termination, &watchScope, [](int) { SpeechApp::EndProgram(); });
    }
    KeyboardSettings loaded;
    const LoadOutcome outcome = LoadSettingsFile(services.settingsPath, loaded);
    if (outcome == LoadOutcome::kInvalid) {
        // Before any window: the file is left as it is, with the user's keys.
        ShowProgramMessage(*services.messages, QString::fromUtf8(kInvalidSettingsMessage), nullptr);
        return kInvalidSettingsExitCode;
    }
    SpeechApp app(services);
    if (outcome == LoadOutcome::kLoaded) {
        app.Main().ApplySettings(loaded);
    }
    app.Main().ApplyVoiceSettings(LoadVoiceSettings(VoiceSettingsPath(services.settingsPath)));
    return app.Exec();
}

int RunSpeechProgram(int argc, char** argv) {
    // Before any window: --help needs no display.
    SpeechOptions options;
    std::string error;
    if (!ParseSpeechOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(kSpeechUsage, stdout);
        return 0;
    }
    // Before any thread starts, so that every thread inherits the mask.
    platform::TerminationSignals termination;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kProgramTitle));
    QApplication::setApplicationDisplayName(QString::fromLatin1(kProgramTitle));
    QApplication::setApplicationVersion(QStringLiteral("1.2"));
    QApplication::setDesktopFileName(QStringLiteral("kinemo-speech"));
    // The windows end the program themselves; hiding the connect dialog after
    // a connection must not.
    QApplication::setQuitOnLastWindowClosed(false);
    resources::InitResources();
    QIcon icon(QString::fromLatin1(resources::kProgramIcon));
    icon.addFile(QString::fromLatin1(resources::kProgramIconSmall));
    QApplication::setWindowIcon(icon);

    InterfacePort port;
    PortLink link(port);
    platform::QtMessageService messages;
    platform::QtFileDialogService files;
    SpeechAppServices services;
    services.port = &port;
    services.link = &link;
    services.messages = &messages;
    services.files = &files;
    services.audioPath = options.audioPath;
    return RunSpeechSession(services, &termination);
}

}  // namespace kinemo::keyboard::ui
