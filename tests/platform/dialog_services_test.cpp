// Message boxes: the scripted double that window tests use, and the real
// message box driven by a scripted user (the scripted file dialogs are used,
// and their requests checked, by the main-window file tests); termination
// signals handed to the window thread.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <csignal>
#include <memory>
#include <tuple>
#include <vector>

#include "platform/dialog_message.h"
#include "platform/dialog_scripted.h"
#include "platform/dialog_signals.h"
#include "tests/sequencer/ui/wait_until.h"

namespace kinemo::platform {
namespace {

using ui::testing::WaitUntil;

// Answers in order, records every box; unscripted boxes count as closed
// without a button, which is Cancel where the set has one.
TEST(ScriptedMessageService, AnswersInOrderAndRecordsEveryBox) {
    ScriptedMessageService messages;
    messages.Answer(MessageResult::kRetry);
    messages.Answer(MessageResult::kNo);
    const MessageRequest requests[] = {
        {QStringLiteral("a"), QString(), MessageButtons::kRetryCancel, MessageIcon::kError},
        {QStringLiteral("b"), QStringLiteral("Achtung"), MessageButtons::kYesNoCancel},
        {QStringLiteral("c"), QString(), MessageButtons::kOk},
        {QStringLiteral("d"), QString(), MessageButtons::kOkCancel},
        {QStringLiteral("e"), QString(), MessageButtons::kAbortRetryIgnore}};
    std::vector<MessageResult> results;
    for (const MessageRequest& request : requests) {
        results.push_back(messages.Show(nullptr, request));
    }
    QStringList seen;
    for (const MessageRequest& request : messages.Requests()) {
        seen << request.text + "|" + request.caption + "|" +
                    QString::number(static_cast<int>(request.icon));
    }
    EXPECT_EQ(results, (std::vector<MessageResult>{MessageResult::kRetry, MessageResult::kNo,
                                                   MessageResult::kOk, MessageResult::kCancel,
                                                   MessageResult::kAbort}));
    EXPECT_EQ(seen.join(' '), QString("a|Kinemo|%1 b|Achtung|0 c|Kinemo|0 d|Kinemo|0 e|Kinemo|0")
                                  .arg(static_cast<int>(MessageIcon::kError)));
    EXPECT_EQ(
        std::tuple(messages.PendingAnswers(), messages.UnscriptedCount(),
                   messages.UnscriptedQuestions(), ClosedBoxResult(MessageButtons::kYesNoCancel)),
        std::tuple(0u, 3, 2, MessageResult::kCancel));
}

// Presses `which` in the next modal message box and notes its caption, text,
// icon and number of buttons; polls from the event loop, so nothing blocks.
void PressWhenShown(QMessageBox::StandardButton which, QString* seen) {
    QTimer::singleShot(10, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            PressWhenShown(which, seen);
            return;
        }
        *seen = QString("%1|%2|%3|%4")
                    .arg(box->windowTitle(), box->text())
                    .arg(box->icon())
                    .arg(box->buttons().size());
        box->button(which)->click();
    });
}

TEST(QtMessageService, ShowsTheBoxAndReturnsThePressedButton) {
    QtMessageService service;
    QString seen;
    PressWhenShown(QMessageBox::Cancel, &seen);
    EXPECT_EQ(service.Show(nullptr, {QStringLiteral("Alle Daten?"), QStringLiteral("Hinweis"),
                                     MessageButtons::kOkCancel, MessageIcon::kWarning}),
              MessageResult::kCancel);
    EXPECT_EQ(seen, QString("Hinweis|Alle Daten?|%1|2").arg(QMessageBox::Warning));
    PressWhenShown(QMessageBox::Ignore, &seen);
    EXPECT_EQ(service.Show(nullptr, {QStringLiteral("Fehler beim Lesen"), QString(),
                                     MessageButtons::kAbortRetryIgnore, MessageIcon::kError}),
              MessageResult::kIgnore);
    EXPECT_EQ(seen, QString("Kinemo|Fehler beim Lesen|%1|3").arg(QMessageBox::Critical));
}

// raise() sends to this (the window) thread, so the toolkit's own threads
// never see the signals, blocked there or not. Once the parent is gone the
// handler is no longer called.
TEST(WatchTerminationSignals, HandsEverySignalToTheWindowThreadUntilTheParentGoes) {
    TerminationSignals termination;
    std::vector<int> seen;
    auto parent = std::make_unique<QObject>();
    WatchTerminationSignals(termination, parent.get(),
                            [&seen](int signal) { seen.push_back(signal); });
    std::raise(SIGTERM);
    std::raise(SIGHUP);
    ASSERT_TRUE(WaitUntil([&seen] { return seen.size() >= 2; }));
    std::raise(SIGINT);
    ASSERT_TRUE(WaitUntil([&seen] { return seen.size() >= 3; }));
    EXPECT_EQ(seen, (std::vector<int>{SIGHUP, SIGTERM, SIGINT}));
    parent.reset();
    std::raise(SIGTERM);
    QCoreApplication::processEvents();
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(termination.Take(), SIGTERM);
}

}  // namespace
}  // namespace kinemo::platform
