// KinemoSpeech's main window: the input field that typed keys (or speech
// software typing recognised words) arrive in, the run buttons, the four
// motor panels with their start settings and the key editor.
//
// The dialog owns the key table, the start settings the control loop reads
// (LiveSettings, kept current on every change of a control) and the run
// controller with its control thread. Typed characters go to the key handler
// on the dialog's thread, one by one in arrival order. The end of a run
// arrives as a posted RunEnded event; the control thread never touches a
// widget.
//
// With "Spracheingabe" checked, the words of a word list are heard (from the
// microphone or a sound file) and each word's character goes to the key
// handler on the dialog's thread, in the order the words were said, exactly
// as a typed one: only while a run is on. The recognition thread reaches the
// dialog only through queued calls (see VoiceListener).
#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "keyboard/box_link.h"
#include "keyboard/key_table.h"
#include "keyboard/run_controller.h"
#include "keyboard/settings_file.h"
#include "keyboard/start_settings.h"
#include "keyboard/ui/voice_listener.h"
#include "keyboard/ui/voice_settings.h"
#include "platform/dialog_file.h"
#include "platform/dialog_message.h"
#include "platform/dialog_window.h"

class QLineEdit;

namespace kinemo::keyboard::ui {

class MainDialog : public platform::DialogWindow {
    Q_OBJECT

  public:
    // Creates the controls, applies the defaults and starts the control
    // thread on `link`. Message boxes go through `messages`.
    MainDialog(BoxLink& link, platform::MessageService& messages, QWidget* parent = nullptr);
    ~MainDialog() override;

    // The settings as the controls and the key table hold them, and the way
    // back: controls, table and live settings from `settings`, the last key
    // selected and shown, the enable rules applied.
    KeyboardSettings CurrentSettings() const;
    void ApplySettings(const KeyboardSettings& settings);

    // "Einstellungen zurücksetzen": every default, then the enable rules.
    void ResetSettings();
    void ApplyEnableRules();
    void ApplyVisibilityRules();

    // Stops a run in progress and waits at most `timeoutMs` for its final
    // all-off exchange; true when no run is left.
    bool StopRunAndWait(int timeoutMs);

    // The speech input's file dialog ("...") and sound source: `wavPath`
    // empty for the microphone, else that file, played once listening starts.
    // Before the box is first checked.
    void SetVoiceServices(platform::FileDialogService* files, const std::string& wavPath);
    // The box and the word list as the controls hold them (the shipped list
    // as an empty path), and the way back, which starts loading when checked.
    VoiceSettings CurrentVoiceSettings() const;
    void ApplyVoiceSettings(const VoiceSettings& settings);
    // Ends listening (and waits for a load in progress); the box keeps its
    // state for saving. Every way out of the program passes here.
    void StopListening();
    const VoiceListener& Voice() const { return *voice_; }

    // Opens the about box (credit button and context menu entry).
    void SetAboutHandler(std::function<void(QWidget*)> handler) {
        aboutHandler_ = std::move(handler);
    }
    // Called with every character passed to the key handler, in order, and
    // the number of entries it matched (a character outside Latin-1 is
    // passed as nothing and not reported).
    void SetKeyObserver(std::function<void(std::uint8_t character, int matched)> observer) {
        keyObserver_ = std::move(observer);
    }

    const KeyTable& Keys() const { return keys_; }
    const LiveSettings& Live() const { return live_; }
    RunController& Run() { return *run_; }

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();
    void CreateMotorPanel(int motor);
    void CreateKeyEditor();
    void ConnectHandlers();
    void FillLists();
    void CreateVoiceRow();

    // Start settings between controls and the live copy.
    StartSettings ReadStartSettings() const;
    void ShowStartSettings(const StartSettings& settings);
    void StoreStartSettings();
    void ApplyEndSwitchRule(int motor);
    void ApplyOffSwitchRule();

    // Run hand-off.
    void StartRun();
    void BeginRun();
    void EmergencyStop();
    void OnRunEnded();
    void SetStatus(const char* text);
    void ShowAbout();
    void ShowMessage(const QString& text);

    // Input field: every character reaches the key handler once, in order.
    void HandleTypedText(const QString& text);
    void TakeFieldText();

    // Key editor.
    int SelectedKey() const;
    void SelectKey(int index);
    void ShowSelectedKey();
    void AddKey();
    void RemoveKey();
    void ChooseKeyAction();
    void ClickInclude(int motor);
    void ChooseValueState(int motor);
    void MoveValueSpeed(int motor);
    void ApplyAddKeyRule();
    void ApplyRemoveKeyRule();
    void ClearKeyRows();
    void RebuildKeyList();
    void SetSliderLabel(int sliderId, int labelId);

    // Speech input.
    void MakeVoiceListener(const std::string& wavPath);
    void ClickVoiceInput();
    void ChooseWordList();
    void TakeWordList();
    void WordHeard(std::uint8_t character, const QString& word);
    void VoiceRefused(const QString& message);
    void ShowVoiceState();
    std::string WordListPath() const;

    platform::MessageService& messages_;
    KeyTable keys_;
    LiveSettings live_;
    std::unique_ptr<RunController> run_;
    // Cleared when the dialog goes; the RunEnded callback posts only while set.
    std::shared_ptr<std::atomic<bool>> alive_;
    QLineEdit* inputField_ = nullptr;
    // Set while the dialog itself changes controls, so handlers of user
    // changes leave the key table alone.
    bool updating_ = false;
    // "LOS!" pressed while a stopped run was still sending its final all-off:
    // the new run starts when that run has ended.
    bool startPending_ = false;
    std::function<void(QWidget*)> aboutHandler_;
    std::function<void(std::uint8_t, int)> keyObserver_;
    platform::FileDialogService* files_ = nullptr;
    std::unique_ptr<VoiceListener> voice_;
};

}  // namespace kinemo::keyboard::ui
