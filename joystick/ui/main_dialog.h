// KinemoJoy's main window: four motor panels for the module shown, the
// off-switch and off-button settings, and the buttons that start and stop
// the control loop, apply the panels, reset the settings and end the program.
//
// The dialog edits the program's JoySettings and creates the controller, and
// with it the control thread; it publishes what the loop reads into the
// controller's LiveSettings (single atomic bytes, so the loop never waits for
// this thread) and starts and stops runs through it. The end of a run arrives
// as a posted event and is handled on the dialog's thread.
#pragma once

#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "joystick/control_loop.h"
#include "joystick/joy_controller.h"
#include "joystick/joy_settings.h"
#include "joystick/joystick_source.h"
#include "platform/dialog_file.h"
#include "platform/dialog_message.h"
#include "platform/dialog_window.h"
#include "platform/joystick.h"

namespace kinemo::joy::ui {

// What ends the program, and how: the application frame stops the run, waits
// for its final all-off exchange, closes the interface, saves the settings
// when `save` is set and ends the process with `exitCode`.
using EndProgramFunction = std::function<void(int exitCode, bool save)>;

struct MainDialogServices {
    InterfaceLink* link = nullptr;     // the interface the loop exchanges with
    JoystickSource* source = nullptr;  // the joystick the runs read
    platform::MessageService* messages = nullptr;
    platform::FileDialogService* files = nullptr;
    EndProgramFunction endProgram;
    std::function<void(QWidget*)> showAbout;
    std::string settingsPath = "settings.kmj";
    // The joystick the runs read, for the header of a recording.
    platform::JoystickCaps caps;
};

class MainDialog : public platform::DialogWindow {
    Q_OBJECT

  public:
    // `settings` holds the joystick's counts, the port and the module from
    // the connect dialog; the dialog fills its lists from them, resets and
    // loads the settings file, and publishes everything to the loop.
    MainDialog(JoySettings& settings, MainDialogServices services, QWidget* parent = nullptr);
    // Stops a run and waits for its final all-off exchange.
    ~MainDialog() override;

    JoyController& Controller() { return *controller_; }
    JoySettings& Settings() { return settings_; }
    const ListContents& Lists() const { return lists_; }

    // Copies between the panels and the motor slots of the module shown.
    void StoreMappings();
    void ShowMappings();
    void ApplyEnableRules();
    // StoreMappings and the off settings into the settings, then the file.
    bool SaveSettings();

    // The handlers of the direction and speed radio buttons, by control id;
    // a control that does not belong to the handler gets the assertion box.
    void OnJoyAxisCh(int id);
    void OnAxisRadio(int id);
    // A choice in the direction axis list of panel m.
    void OnSelchangeJoyAxisCo(int panel);

    // True while a run is going on (from "LOS!" to its RunEnded).
    bool Running() const { return running_; }
    // The recording of the run going on, or of the last one.
    const QString& RecordingPath() const { return recordingPath_; }

  public Q_SLOTS:
    // Escape and the close box end the program like "Ende".
    void reject() override;

  protected:
    bool event(QEvent* event) override;

  private:
    void CreatePanel(int m);
    void CreateControls();
    void FillLists();
    void ConnectHandlers();
    int Slot(int panel) const;
    void ShowOffSettings();
    void PublishOffSettings();
    void ShowAssertion(const char* text);
    void RetitlePanels();
    void ResetAndShow();

    void Start();
    bool BeginRecording();
    // Closes the recording once no run reads through it; `report` shows a
    // box when it could not be written completely.
    void FinishRecording(bool report = true);
    void EmergencyStop();
    void OnRunEnded(RunOutcome outcome);
    void Apply();
    void ChangeModule();
    void Reset();
    void End();
    void ShowAbout();
    void SetStatus(const char* text);

    JoySettings& settings_;
    MainDialogServices services_;
    std::unique_ptr<RunEndedListener> poster_;
    std::unique_ptr<JoyController> controller_;
    LiveSettings& live_;
    std::unique_ptr<RecordingSource> recorder_;
    ListContents lists_;
    bool running_ = false;
    QString recordingPath_;
};

}  // namespace kinemo::joy::ui
