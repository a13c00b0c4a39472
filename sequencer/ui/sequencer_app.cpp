#include "sequencer/ui/sequencer_app.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstring>

#include "kinemo/version.h"
#include "platform/dialog_connect.h"
#include "platform/dialog_file.h"
#include "platform/dialog_message.h"
#include "platform/dialog_signals.h"
#include "sequencer/engine/interface_binding.h"
#include "sequencer/engine/run_control.h"
#include "sequencer/ui/about_dialog.h"
#include "sequencer/ui/main_dialog.h"
#include "sequencer/ui/resource_paths.h"

namespace kinemo::ui {

namespace {

const char kSequencerUsage[] =
    "Aufruf: kinemo\n"
    "Kinemo: Bewegungsfolgen für die Motoren M1 bis M4 des Interfaces\n"
    "zusammenstellen, als .kmo-Datei speichern und abspielen. Das Interface\n"
    "wird im Verbindungsfenster gewählt (COM1 bis COM4); welches Gerät\n"
    "dahinter steht, sagt KINEMO_PORT_COM1 usw. (kinemo-cli ports zeigt\n"
    "die Zuordnung).\n"
    "  --help  dieser Text\n";

}  // namespace

SequencerApp::SequencerApp(const SequencerAppServices& services) {
    resources::InitResources();
    main_ = std::make_unique<MainDialog>(*services.link, *services.messages, *services.files,
                                         nullptr, services.diagnostics);
    main_->SetAboutHandler([](QWidget* parent) { platform::ShowAboutBox<AboutDialog>(parent); });
    // "Ende", Escape and the close box of the main window end the program.
    connect(main_.get(), &QDialog::finished, this, [] { EndProgram(); });

    engine::RunControl& run = main_->Run();
    ConnectDialogServices connectServices;
    connectServices.connect = services.connect;
    connectServices.messages = services.messages;
    connectServices.cancel = [] { EndProgram(); };
    // While an attempt runs, a run lowers the connect worker to idle.
    connectServices.workerChanged = [&run](const platform::ThreadId* worker) {
        if (worker != nullptr) {
            run.SetConnectThread(*worker);
        } else {
            run.ClearConnectThread();
        }
    };
    connect_ = std::make_unique<ConnectDialog>(std::move(connectServices));
}

SequencerApp::~SequencerApp() = default;

void SequencerApp::EndProgram() {
    QCoreApplication::exit(0);
}

int SequencerApp::Exec() {
    platform::ShowConnectDialogBeside(*main_, *connect_);
    QApplication::exec();
    // Whatever ended the loop, the program's exit code is 0.
    return 0;
}

void EndProgramOnSignals(platform::TerminationSignals& termination,
                         std::atomic<std::uint8_t>& stopFlag) {
    WatchTerminationSignals(termination, qApp, [&stopFlag](int) {
        stopFlag.store(1);
        SequencerApp::EndProgram();
    });
}

int RunSequencerProgram(int argc, char** argv) {
    // Before any window: --help needs no display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kSequencerUsage, stdout);
            return 0;
        }
    }
    // Before the toolkit starts any thread of its own.
    platform::TerminationSignals termination;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kProgramTitle));
    QApplication::setApplicationDisplayName(QString::fromLatin1(kProgramTitle));
    QApplication::setApplicationVersion(QString::fromLatin1(version::kFileVersion));
    QApplication::setDesktopFileName(QStringLiteral("kinemo"));
    // The windows end the program themselves; hiding the connect dialog after
    // a connection must not.
    QApplication::setQuitOnLastWindowClosed(false);
    resources::InitResources();
    QIcon icon(QString::fromLatin1(resources::kProgramIcon));
    icon.addFile(QString::fromLatin1(resources::kProgramIconSmall));
    QApplication::setWindowIcon(icon);

    engine::DriverLink driver;
    platform::QtMessageService messages;
    platform::QtFileDialogService files;
    SequencerAppServices services;
    services.link = &driver;
    services.connect = [&driver](const std::string& port, const ConnectStatusSink& status) {
        return engine::ConnectInterface(driver, port, status);
    };
    services.messages = &messages;
    services.files = &files;
    SequencerApp app(services);
    EndProgramOnSignals(termination, app.Main().Run().StopRequested());
    return app.Exec();
}

}  // namespace kinemo::ui
