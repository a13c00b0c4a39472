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
#include "tests/sequencer/ui/shell_test_support.h"

namespace kinemo::ui {
namespace {

using testing::TestApplication;

struct AppFixture {
    AppFixture() {
        TestApplication();
        services.link = &link;  // never opened: exchanges do nothing
        services.connect = [](const std::string&, const ConnectStatusSink&) { return false; };
        services.messages = &messages;
        services.files = &files;
        services.diagnostics = nullptr;
        app = std::make_unique<SequencerApp>(services);
    }
    engine::DriverLink link;
    platform::ScriptedMessageService messages;
    platform::ScriptedFileDialogService files;
    SequencerAppServices services;
    std::unique_ptr<SequencerApp> app;
};

// Runs `open`, which shows the about box modally; the box is closed with its
// OK button as soon as it shows. Returns how many about boxes were seen.
int OpenAndCloseAbout(const std::function<void()>& open) {
    int seen = 0;
    QTimer::singleShot(0, [&seen] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* about = qobject_cast<AboutDialog*>(w);
            if (about != nullptr && about->isVisible()) {
                ++seen;
                EXPECT_TRUE(about->isModal());
                about->Control<QPushButton>(platform::kIdOk)->click();
            }
        }
    });
    QTimer guard;  // should the click miss, the box is closed anyway
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    });
    guard.start(20000);
    open();
    return seen;
}

TEST(SequencerApp, AboutBoxFromCreditButtonAndContextMenu) {
    AppFixture f;
    MainDialog& main = f.app->Main();
    main.show();
    EXPECT_EQ(OpenAndCloseAbout([&main] { main.Control<QPushButton>(kIdCredit)->click(); }), 1);

    ASSERT_NE(main.ContextMenu(), nullptr);
    QAction* entry = nullptr;
    for (QAction* action : main.ContextMenu()->actions()) {
        if (action->objectName() == QString::number(kCommandAbout)) {
            entry = action;
        }
    }
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text(), QStringLiteral("Inf&o über Kinemo..."));
    EXPECT_EQ(OpenAndCloseAbout([entry] { entry->trigger(); }), 1);
}

TEST(SequencerApp, ConnectDialogOpensBesideTheMainWindowAndCancelEndsTheLoop) {
    AppFixture f;
    bool bothShown = false;
    QTimer::singleShot(0, [&f, &bothShown] {
        MainDialog& main = f.app->Main();
        ConnectDialog& connect = f.app->Connect();
        bothShown = main.isVisible() && connect.isVisible() && !main.isModal() &&
                    !connect.isModal() && connect.parentWidget() == nullptr &&
                    connect.x() >= main.frameGeometry().right();
        connect.Control<QPushButton>(platform::kIdCancel)->click();
    });
    bool timedOut = false;  // never hang: a missed click ends the loop too
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&timedOut] {
        timedOut = true;
        QCoreApplication::exit(0);
    });
    guard.start(20000);
    EXPECT_EQ(f.app->Exec(), 0);
    EXPECT_FALSE(timedOut);
    EXPECT_TRUE(bothShown);
    EXPECT_FALSE(f.app->Main().windowIcon().isNull());
}

}  // namespace
}  // namespace kinemo::ui
