// The main window of KinemoSpeech for tests: wired to a real InterfacePort
// (without a box, or connected to a pluggable one) and scripted message
// boxes, with the user's gestures on the key editor.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "keyboard/box_link.h"
#include "keyboard/interface_port.h"
#include "keyboard/ui/main_dialog.h"
#include "keyboard/ui/main_dialog_ids.h"
#include "platform/dialog_message.h"
#include "platform/dialog_scripted.h"
#include "tests/platform/pluggable_box.h"
#include "tests/sequencer/ui/wait_until.h"

namespace kinemo::keyboard::ui::testing {

// The visible top-level window of type T, if there is one.
template <typename T>
T* FindWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<T*>(widget); window != nullptr && window->isVisible())
            return window;
    }
    return nullptr;
}

// Types `text` into `widget` as a keyboard does: a key press and release per
// character, with it as the event's text, or the whole `text` in one event.
inline void TypeText(QWidget* widget, const QString& text, bool inOneEvent = false) {
    for (const QString& keyText :
         inOneEvent ? QStringList{text} : text.split(QString(), Qt::SkipEmptyParts)) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, keyText);
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, keyText);
        QApplication::sendEvent(widget, &release);
    }
}

// Every message box shown so far, as "caption: text".
inline std::vector<std::string> Told(const platform::ScriptedMessageService& messages) {
    std::vector<std::string> told;
    for (const platform::MessageRequest& request : messages.Requests())
        told.push_back((platform::EffectiveCaption(request) + ": " + request.text).toStdString());
    return told;
}

struct DialogFixture {
    DialogFixture() : link(port) {
        main = std::make_unique<MainDialog>(link, messages);
        main->show();
    }
    MainDialog& Main() { return *main; }

    // Types `character` into the new-key edit and presses "&Neu:".
    void AddKey(const QString& character) {
        auto* edit = main->Control<QLineEdit>(kIdNewKey);
        edit->clear();
        TypeText(edit, character);
        main->Control<QPushButton>(kIdAddKey)->click();
    }
    // Chooses entry `index` of a drop-down list as the user does.
    void Choose(int id, int index) {
        auto* combo = main->Control<QComboBox>(id);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    void Click(int id) { main->Control<QAbstractButton>(id)->click(); }
    // The run has ended and the window has handled its end.
    bool WaitForRunHandled() {
        return kinemo::ui::testing::WaitUntil(
            [this] { return !main->Run().Running() && main->IsEnabled(kIdStart); });
    }

    InterfacePort port;
    PortLink link;
    platform::ScriptedMessageService messages;
    std::unique_ptr<MainDialog> main;
};

// The window connected to a box on COM1 that answers no input active; the
// window goes before the box.
struct ConnectedFixture {
    ConnectedFixture() {
        plugged.PlugIn(2, {0x00});
        EXPECT_TRUE(f.port.connect(1));
    }
    kinemo::testing::PtyPeer& Box() { return plugged.Box(); }

    kinemo::testing::PluggableBox plugged;
    DialogFixture f;
};

}  // namespace kinemo::keyboard::ui::testing
