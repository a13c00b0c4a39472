// The sequencer's application frame: the about box from the main window and
// the connect dialog beside it, whose cancel ends the event loop.
#include "sequencer/ui/sequencer_app.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "platform/dialog_scripted.h"
#include "sequencer/engine/interface_binding.h"
#include "sequencer/ui/about_dialog.h"
#include "sequencer/ui/main_dialog.h"
#include "sequencer/ui/main_dialog_ids.h"
#include "tests/platform/dialog_test_support.h"

namespace kinemo::ui {
namespace {

struct AppFixture {
    AppFixture() {
        platform::testing::DialogTestApplication();
        services.link = &link;  // never opened: exchanges do nothing
        services.connect = [](const std::string&, const ConnectStatusSink&) { return false; };
        services.messages = &messages;
        services.files = &files;
        app = std::make_unique<SequencerApp>(services);
    }
    engine::DriverLink link;
    platform::ScriptedMessageService messages;
    platform::ScriptedFileDialogService files;
    SequencerAppServices services;
    std::unique_ptr<SequencerApp> app;
};

// Runs `open` with `step` queued to run in the loop it starts; a guard ends
// whatever modal loop is left should the step miss.
void RunWithQueuedStep(const std::function<void()>& open, const std::function<void()>& step) {
    QTimer::singleShot(0, step);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
        QCoreApplication::exit(1);
    });
    guard.start(20000);
    open();
}

// How many modal about boxes `open` showed, each closed with its OK button.
int OpenAndCloseAbout(const std::function<void()>& open) {
    int seen = 0;
    RunWithQueuedStep(open, [&seen] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* about = qobject_cast<AboutDialog*>(w);
            if (about != nullptr && about->isVisible() && about->isModal()) {
                ++seen;
                about->Control<QPushButton>(platform::kIdOk)->click();
            }
        }
    });
    return seen;
}

TEST(SequencerApp, AboutBoxFromCreditButtonAndContextMenu) {
    AppFixture f;
    MainDialog& main = f.app->Main();
    main.show();
    EXPECT_EQ(OpenAndCloseAbout([&main] { main.Control<QPushButton>(kIdCredit)->click(); }), 1);
    ASSERT_NE(main.ContextMenu(), nullptr);
    auto* entry = main.ContextMenu()->findChild<QAction*>(QString::number(kCommandAbout));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text(), QStringLiteral("Inf&o über Kinemo..."));
    EXPECT_EQ(OpenAndCloseAbout([entry] { entry->trigger(); }), 1);
}

TEST(SequencerApp, ConnectDialogOpensBesideTheMainWindowAndCancelEndsTheLoop) {
    AppFixture f;
    bool bothShown = false;
    int result = -1;
    RunWithQueuedStep([&] { result = f.app->Exec(); },
                      [&f, &bothShown] {
                          MainDialog& main = f.app->Main();
                          ConnectDialog& connect = f.app->Connect();
                          bothShown = main.isVisible() && connect.isVisible() && !main.isModal() &&
                                      !connect.isModal() && connect.parentWidget() == nullptr &&
                                      connect.x() >= main.frameGeometry().right();
                          connect.Control<QPushButton>(platform::kIdCancel)->click();
                      });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(bothShown);
    EXPECT_FALSE(f.app->Main().windowIcon().isNull());
}

}  // namespace
}  // namespace kinemo::ui
