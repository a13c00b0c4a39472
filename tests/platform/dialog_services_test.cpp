// Message boxes: the scripted double that window tests use, and the real
// message box driven by a scripted user. The scripted file dialogs are used
// (and their requests checked) by the main-window file tests.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "platform/dialog_message.h"
#include "platform/dialog_scripted.h"
#include "tests/platform/dialog_test_support.h"

namespace kinemo::platform {
namespace {

TEST(ScriptedMessageService, AnswersInOrderAndRecordsEveryBox) {
    testing::DialogTestApplication();
    ScriptedMessageService messages;
    messages.Answer(MessageResult::kRetry);
    messages.Answer(MessageResult::kNo);
    EXPECT_EQ(messages.Show(nullptr, {QStringLiteral("a"), QString(), MessageButtons::kRetryCancel,
                                      MessageIcon::kError}),
              MessageResult::kRetry);
    EXPECT_EQ(messages.Show(nullptr, {QStringLiteral("b"), QStringLiteral("Achtung"),
                                      MessageButtons::kYesNoCancel, MessageIcon::kQuestion}),
              MessageResult::kNo);
    EXPECT_EQ(messages.PendingAnswers(), 0u);
    // Unscripted boxes count as closed without a button.
    EXPECT_EQ(messages.Show(nullptr, {QStringLiteral("c"), QString(), MessageButtons::kOk,
                                      MessageIcon::kNone}),
              MessageResult::kOk);
    EXPECT_EQ(messages.Show(nullptr, {QStringLiteral("d"), QString(), MessageButtons::kOkCancel}),
              MessageResult::kCancel);
    EXPECT_EQ(messages.UnscriptedCount(), 2);
    EXPECT_EQ(messages.UnscriptedQuestions(), 1);

    ASSERT_EQ(messages.Requests().size(), 4u);
    EXPECT_EQ(messages.Requests()[0].caption, QStringLiteral("Kinemo"));  // the program's title
    EXPECT_EQ(messages.Requests()[0].icon, MessageIcon::kError);
    EXPECT_EQ(messages.Requests()[1].caption, QStringLiteral("Achtung"));
    EXPECT_EQ(messages.Requests()[1].text, QStringLiteral("b"));
}

TEST(ClosedBoxResult, IsCancelWhereTheSetHasOne) {
    EXPECT_EQ(ClosedBoxResult(MessageButtons::kOk), MessageResult::kOk);
    EXPECT_EQ(ClosedBoxResult(MessageButtons::kOkCancel), MessageResult::kCancel);
    EXPECT_EQ(ClosedBoxResult(MessageButtons::kRetryCancel), MessageResult::kCancel);
    EXPECT_EQ(ClosedBoxResult(MessageButtons::kYesNoCancel), MessageResult::kCancel);
    EXPECT_EQ(ClosedBoxResult(MessageButtons::kAbortRetryIgnore), MessageResult::kAbort);
}

// Presses the button `which` of the next modal message box, checking its
// texts on the way; polls from the event loop, so nothing blocks.
void PressWhenShown(QMessageBox::StandardButton which, QString* text, QString* caption,
                    QMessageBox::Icon* icon, int* buttons) {
    QTimer::singleShot(10, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            PressWhenShown(which, text, caption, icon, buttons);
            return;
        }
        *text = box->text();
        *caption = box->windowTitle();
        *icon = box->icon();
        *buttons = static_cast<int>(box->buttons().size());
        box->button(which)->click();
    });
}

TEST(QtMessageService, ShowsTheBoxAndReturnsThePressedButton) {
    testing::DialogTestApplication();
    QtMessageService service;
    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;

    PressWhenShown(QMessageBox::Cancel, &text, &caption, &icon, &buttons);
    EXPECT_EQ(service.Show(nullptr, {QStringLiteral("Alle Daten?"), QStringLiteral("Hinweis"),
                                     MessageButtons::kOkCancel, MessageIcon::kWarning}),
              MessageResult::kCancel);
    EXPECT_EQ(text, QStringLiteral("Alle Daten?"));
    EXPECT_EQ(caption, QStringLiteral("Hinweis"));
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, 2);

    PressWhenShown(QMessageBox::Ignore, &text, &caption, &icon, &buttons);
    EXPECT_EQ(service.Show(nullptr, {QStringLiteral("Fehler beim Lesen"), QString(),
                                     MessageButtons::kAbortRetryIgnore, MessageIcon::kError}),
              MessageResult::kIgnore);
    EXPECT_EQ(caption, QStringLiteral("Kinemo"));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, 3);
}

}  // namespace
}  // namespace kinemo::platform
