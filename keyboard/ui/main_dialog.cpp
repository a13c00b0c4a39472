#include "keyboard/ui/main_dialog.h"

#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <atomic>
#include <memory>

#include "keyboard/status_texts.h"
#include "keyboard/ui/main_dialog_ids.h"
#include "keyboard/ui/resource_paths.h"
#include "platform/dialog_events.h"

namespace kinemo::keyboard::ui {
namespace {

constexpr int kDialogWidth = 400;
constexpr int kDialogHeight = 290;

// Sets a flag for the life of the object.
class FlagScope {
  public:
    explicit FlagScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = old_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

  private:
    bool& flag_;
    bool old_;
};

// The list text of a key: its one character, a single byte shown as Latin-1.
QString KeyText(std::uint8_t character) {
    return QString(QChar(static_cast<char16_t>(character)));
}

// Control characters (C0, DEL and C1) are keys of the dialog (Return,
// Escape, Tab, ...), never keys of the table.
bool IsControl(QChar c) {
    const char16_t code = c.unicode();
    return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

// A typed or entered character as the byte the key table holds; false for a
// control character and for one outside Latin-1, which no key can carry.
bool KeyByte(QChar c, std::uint8_t& byte) {
    if (IsControl(c) || c.unicode() > 0xFF) {
        return false;
    }
    byte = static_cast<std::uint8_t>(c.unicode());
    return true;
}

}  // namespace

MainDialog::MainDialog(BoxLink& link, platform::MessageService& messages, QWidget* parent)
    : DialogWindow(QString::fromUtf8(kMainDialogTitle), kDialogWidth, kDialogHeight, parent),
      messages_(messages) {
    setObjectName(QString::number(kMainDialogResource));
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    resources::InitResources();
    AddContextMenuEntry(kCommandAbout, QStringLiteral("Inf&o über KinemoSpeech..."),
                        [this] { ShowAbout(); });
    SetProgramIcon(QString::fromLatin1(resources::kProgramIcon));
    CreateControls();
    FillLists();
    ConnectHandlers();
    ResetSettings();

    // The control thread posts RunEnded from its own thread; a thread that
    // outlives the dialog (stuck in an exchange at the end) finds it gone.
    auto alive = std::make_shared<std::atomic<bool>>(true);
    alive_ = alive;
    run_ = std::make_unique<RunController>(link, live_, [this, alive](std::uint32_t, StopReason) {
        if (alive->load()) {
            platform::PostDialogEvent(this, platform::kRunEndedEvent);
        }
    });
    MakeVoiceListener({});
    SetText(kIdWordList, QFile::decodeName(ShippedWordList().c_str()));
}

MainDialog::~MainDialog() {
    // No word is heard any more, then the run stops and the dialog waits (at
    // most a second) for its all-off exchange.
    voice_.reset();
    run_.reset();
    alive_->store(false);
}

void MainDialog::CreateControls() {
    AddGroupBox(-1, QStringLiteral("Eingabe&feld:"), 7, 5, 230, 36);
    inputField_ = AddEdit(kIdInputField, 15, 19, 20, 13, 1);
    inputField_->installEventFilter(this);
    SetEnabled(kIdInputField, false);  // until a run starts
    AddStatic(-1, QStringLiteral("(Hier muss der Cursor beim Steuern sein!)"), 42, 21, 190, 8);

    AddPushButton(kIdStart, QStringLiteral("&LOS!"), 245, 7, 70, 34);
    QPushButton* stop = AddPushButton(kIdEmergencyStop, QStringLiteral("NOT-&AUS"), 323, 7, 70, 34);
    stop->setDefault(true);

    for (int motor = 0; motor < kMotorCount; ++motor) {
        CreateMotorPanel(motor);
    }
    CreateKeyEditor();

    AddCheckBox(kIdOffSwitch, QStringLiteral("Austaster:"), 7, 211, 48, 10);
    AddDropDownList(kIdOffSwitchInput, 57, 209, 30, 13);
    AddPushButton(kIdReset, QStringLiteral("Einstellungen &zurücksetzen"), 7, 229, 110, 14);

    AddPushButton(kIdEnd, QStringLiteral("&Ende"), 7, 268, 54, 16);
    AddFlatButton(kIdCredit, QStringLiteral("Programmierung: das Kinemo-Team"), 66, 270, 150, 13);
    AddStatic(kIdStatus, QString::fromUtf8(kStatusReady), 300, 273, 93, 8, Qt::AlignRight);
    // Last, so its controls come last in the tab order.
    CreateVoiceRow();
}

void MainDialog::CreateVoiceRow() {
    AddCheckBox(kIdVoiceInput, QStringLiteral("Spracheingabe"), 7, 251, 62, 10);
    AddStatic(-1, QStringLiteral("Wortliste:"), 72, 252, 38, 8);
    AddEdit(kIdWordList, 112, 249, 168, 13);
    AddPushButton(kIdChooseWordList, QStringLiteral("..."), 283, 249, 16, 13);
    AddStatic(kIdHeardWord, QString(), 304, 252, 89, 8);
    ReserveTexts(kIdHeardWord,
                 {QString::fromUtf8(kVoiceLoadingText), QString::fromUtf8(kVoiceListeningText),
                  QString::fromUtf8(kHeardPrefix) + QStringLiteral("rückwärts")});
}

void MainDialog::CreateMotorPanel(int j) {
    const int x = 7 + (j % 2) * 196;
    const int y = 45 + (j / 2) * 58;
    AddGroupBox(kIdMotorGroup + j, QStringLiteral("Motor &%1").arg(j + 1), x, y, 190, 54);
    AddStatic(-1, QStringLiteral("Startrichtung + Speed:"), x + 7, y + 11, 90, 8);
    AddDropDownList(kIdStartState + j, x + 7, y + 21, 28, 13);
    AddTrackbar(kIdStartSpeed + j, x + 40, y + 21, 110, 13, 0, kMaxSpeed);
    AddStatic(kIdStartSpeedLabel + j, QStringLiteral("100%"), x + 154, y + 23, 30, 8);
    AddCheckBox(kIdEndSwitches + j, QStringLiteral("Endtaster (L/R):"), x + 7, y + 38, 75, 10);
    AddDropDownList(kIdEndSwitchInputLeft + j, x + 88, y + 36, 30, 13);
    AddDropDownList(kIdEndSwitchInputRight + j, x + 124, y + 36, 30, 13);
}

void MainDialog::CreateKeyEditor() {
    QLabel* keyLabel = AddStatic(-1, QStringLiteral("&Taste auf der Tastatur:"), 7, 164, 110, 8);
    keyLabel->setBuddy(AddDropDownList(kIdKeyList, 7, 174, 70, 13));
    AddPushButton(kIdAddKey, QStringLiteral("&Neu:"), 82, 174, 28, 13);
    AddEdit(kIdNewKey, 113, 174, 16, 13, 1);
    AddPushButton(kIdRemoveKey, QStringLiteral("Entfernen"), 134, 174, 46, 13);
    AddStatic(-1, QStringLiteral("Nur Zeichentasten verwenden!"), 7, 191, 170, 8);

    QLabel* actionLabel =
        AddStatic(-1, QStringLiteral("A&ktion bei dieser Taste:"), 203, 164, 120, 8);
    actionLabel->setBuddy(AddDropDownList(kIdAction, 203, 174, 125, 13));
    for (int j = 0; j < kMotorCount; ++j) {
        const int y = 192 + 13 * j;
        AddCheckBox(kIdInclude + j, QStringLiteral("Motor %1:").arg(j + 1), 203, y, 42, 10);
        AddDropDownList(kIdValueState + j, 248, y - 1, 30, 13);
        AddTrackbar(kIdValueSpeed + j, 248, y - 1, 110, 12, 0, kMaxSpeed);
        AddStatic(kIdValueSpeedLabel + j, QStringLiteral("100%"), 362, y, 30, 8);
        // The rows are hidden until an action that uses them is chosen.
        for (const int id : {kIdInclude, kIdValueState, kIdValueSpeed, kIdValueSpeedLabel}) {
            ControlWidget(id + j)->hide();
        }
    }
}

void MainDialog::FillLists() {
    for (int j = 0; j < kMotorCount; ++j) {
        for (const char* input : kInputTexts) {
            ComboAppend(kIdEndSwitchInputLeft + j, QString::fromLatin1(input));
            ComboAppend(kIdEndSwitchInputRight + j, QString::fromLatin1(input));
        }
        for (const char* state : kMotorStateTexts) {
            ComboAppend(kIdStartState + j, QString::fromLatin1(state));
            ComboAppend(kIdValueState + j, QString::fromLatin1(state));
        }
    }
    for (const char* input : kInputTexts) {
        ComboAppend(kIdOffSwitchInput, QString::fromLatin1(input));
    }
    for (const char* action : kKeyActionTexts) {
        ComboAppend(kIdAction, QString::fromUtf8(action));
    }
}

void MainDialog::ConnectHandlers() {
    OnClicked(kIdStart, [this] { StartRun(); });
    OnClicked(kIdEmergencyStop, [this] { EmergencyStop(); });
    OnClicked(kIdEnd, [this] {
        run_->RequestStop(kStopButton);
        accept();
    });
    OnClicked(kIdCredit, [this] { ShowAbout(); });
    OnClicked(kIdReset, [this] { ResetSettings(); });
    OnClicked(kIdOffSwitch, [this] { ApplyOffSwitchRule(); });
    OnSelectionChanged(kIdOffSwitchInput, [this] { StoreStartSettings(); });
    OnTextChanged(kIdInputField, [this] { TakeFieldText(); });

    for (int j = 0; j < kMotorCount; ++j) {
        OnSelectionChanged(kIdStartState + j, [this] { StoreStartSettings(); });
        OnValueChanged(kIdStartSpeed + j, [this, j] {
            SetSliderLabel(kIdStartSpeed + j, kIdStartSpeedLabel + j);
            StoreStartSettings();
        });
        OnClicked(kIdEndSwitches + j, [this, j] { ApplyEndSwitchRule(j); });
        OnSelectionChanged(kIdEndSwitchInputLeft + j, [this] { StoreStartSettings(); });
        OnSelectionChanged(kIdEndSwitchInputRight + j, [this] { StoreStartSettings(); });

        OnClicked(kIdInclude + j, [this, j] { ClickInclude(j); });
        OnSelectionChanged(kIdValueState + j, [this, j] { ChooseValueState(j); });
        OnValueChanged(kIdValueSpeed + j, [this, j] { MoveValueSpeed(j); });
    }

    OnSelectionChanged(kIdKeyList, [this] { ShowSelectedKey(); });
    OnSelectionChanged(kIdAction, [this] { ChooseKeyAction(); });
    OnTextChanged(kIdNewKey, [this] { ApplyAddKeyRule(); });
    OnClicked(kIdAddKey, [this] { AddKey(); });
    OnClicked(kIdRemoveKey, [this] { RemoveKey(); });

    OnClicked(kIdVoiceInput, [this] { ClickVoiceInput(); });
    OnClicked(kIdChooseWordList, [this] { ChooseWordList(); });
    connect(Control<QLineEdit>(kIdWordList), &QLineEdit::editingFinished, this,
            [this] { TakeWordList(); });
}

// --- Settings ---

StartSettings MainDialog::ReadStartSettings() const {
    StartSettings s;
    for (int j = 0; j < kMotorCount; ++j) {
        MotorStartSettings& m = s.motors[j];
        m.startState = static_cast<std::uint8_t>(ComboSelection(kIdStartState + j));
        m.startSpeed = static_cast<std::uint8_t>(SliderValue(kIdStartSpeed + j));
        m.endSwitches = IsChecked(kIdEndSwitches + j);
        m.leftInput = static_cast<std::uint8_t>(ComboSelection(kIdEndSwitchInputLeft + j));
        m.rightInput = static_cast<std::uint8_t>(ComboSelection(kIdEndSwitchInputRight + j));
    }
    s.offSwitch = IsChecked(kIdOffSwitch);
    s.offSwitchInput = static_cast<std::uint8_t>(ComboSelection(kIdOffSwitchInput));
    return s;
}

void MainDialog::ShowStartSettings(const StartSettings& s) {
    FlagScope updating(updating_);
    for (int j = 0; j < kMotorCount; ++j) {
        const MotorStartSettings& m = s.motors[j];
        ComboSetSelection(kIdStartState + j, m.startState);
        SetSliderValue(kIdStartSpeed + j, m.startSpeed);
        SetSliderLabel(kIdStartSpeed + j, kIdStartSpeedLabel + j);
        SetChecked(kIdEndSwitches + j, m.endSwitches);
        ComboSetSelection(kIdEndSwitchInputLeft + j, m.leftInput);
        ComboSetSelection(kIdEndSwitchInputRight + j, m.rightInput);
    }
    SetChecked(kIdOffSwitch, s.offSwitch);
    ComboSetSelection(kIdOffSwitchInput, s.offSwitchInput);
    live_.Store(s);
}

void MainDialog::StoreStartSettings() {
    live_.Store(ReadStartSettings());
}

KeyboardSettings MainDialog::CurrentSettings() const {
    KeyboardSettings settings;
    settings.start = ReadStartSettings();
    settings.keys = keys_;
    return settings;
}

void MainDialog::ApplySettings(const KeyboardSettings& settings) {
    ShowStartSettings(settings.start);
    keys_ = settings.keys;
    RebuildKeyList();
    SelectKey(keys_.Count() - 1);
    ShowSelectedKey();
    ApplyEnableRules();
}

void MainDialog::ResetSettings() {
    {
        FlagScope updating(updating_);
        const StartSettings defaults = DefaultStartSettings();
        for (int j = 0; j < kMotorCount; ++j) {
            const MotorStartSettings& m = defaults.motors[j];
            SetChecked(kIdEndSwitches + j, m.endSwitches);
            ComboSetSelection(kIdEndSwitchInputLeft + j, m.leftInput);
            ComboSetSelection(kIdEndSwitchInputRight + j, m.rightInput);
            ComboSetSelection(kIdStartState + j, m.startState);
            ComboSetSelection(kIdValueState + j, kMotorOff);
            SetSliderValue(kIdStartSpeed + j, m.startSpeed);
            SetSliderValue(kIdValueSpeed + j, kMaxSpeed);
        }
        keys_.Reset();
        ComboSetSelection(kIdAction, kNoAction);
        SetChecked(kIdOffSwitch, defaults.offSwitch);
        ComboSetSelection(kIdOffSwitchInput, defaults.offSwitchInput);
        RebuildKeyList();
        SelectKey(0);
        live_.Store(defaults);
    }
    ApplyEnableRules();
}

// --- Enable and visibility rules ---

void MainDialog::ApplyEnableRules() {
    for (int j = 0; j < kMotorCount; ++j) {
        ApplyEndSwitchRule(j);
    }
    ApplyOffSwitchRule();
    SetEnabled(kIdAddKey, false);
    ApplyAddKeyRule();
    ApplyRemoveKeyRule();
    ApplyVisibilityRules();
}

void MainDialog::ApplyEndSwitchRule(int motor) {
    const bool on = IsChecked(kIdEndSwitches + motor);
    SetEnabled(kIdEndSwitchInputLeft + motor, on);
    SetEnabled(kIdEndSwitchInputRight + motor, on);
    StoreStartSettings();
}

void MainDialog::ApplyOffSwitchRule() {
    SetEnabled(kIdOffSwitchInput, IsChecked(kIdOffSwitch));
    StoreStartSettings();
}

void MainDialog::ApplyVisibilityRules() {
    const int action = ComboSelection(kIdAction);
    const bool states = action == kSetStates;
    const bool speeds = action == kSetSpeeds;
    for (int j = 0; j < kMotorCount; ++j) {
        const bool included = IsChecked(kIdInclude + j);
        ControlWidget(kIdInclude + j)->setVisible(states || speeds);
        ControlWidget(kIdValueState + j)->setVisible(states);
        ControlWidget(kIdValueSpeed + j)->setVisible(speeds);
        ControlWidget(kIdValueSpeedLabel + j)->setVisible(speeds);
        for (const int id : {kIdValueState, kIdValueSpeed, kIdValueSpeedLabel}) {
            SetEnabled(id + j, included);
        }
    }
}

void MainDialog::ApplyAddKeyRule() {
    // One character that a key can carry, and room in the table for it.
    const QString text = Text(kIdNewKey);
    std::uint8_t byte = 0;
    SetEnabled(kIdAddKey, text.size() == 1 && KeyByte(text[0], byte) && !keys_.Full());
}

void MainDialog::ApplyRemoveKeyRule() {
    SetEnabled(kIdRemoveKey, SelectedKey() > 0);
}

void MainDialog::SetSliderLabel(int sliderId, int labelId) {
    SetText(labelId, QStringLiteral("%1%").arg(SliderValue(sliderId)));
}

// --- Run hand-off ---

void MainDialog::StartRun() {
    if (startPending_) {
        return;
    }
    const StartResult result = run_->Start();
    if (result == StartResult::kNotConnected) {
        ShowMessage(QString::fromUtf8(kNoConnectionText));
        return;
    }
    SetEnabled(kIdStart, false);
    SetStatus(kStatusRun);
    if (result == StartResult::kRunning) {
        // The stopped run is sending its final all-off; this one follows it.
        startPending_ = true;
        return;
    }
    BeginRun();
}

void MainDialog::BeginRun() {
    voice_->SetRunOn(true);
    SetEnabled(kIdInputField, true);
    inputField_->setFocus();
}

void MainDialog::EmergencyStop() {
    run_->RequestStop(kStopButton);
    startPending_ = false;
    SetStatus(kStatusStopped);
    SetEnabled(kIdStart, true);
    SetEnabled(kIdInputField, false);
    voice_->SetRunOn(false);
}

void MainDialog::OnRunEnded() {
    if (run_->Running()) {
        return;  // a newer run has started; its own end comes later
    }
    // A line that went away ended the run as by NOT-AUS: no held-over start
    // on it, and the user is told once.
    const bool linkLost = run_->Variables().Stopped() == kLinkLost;
    if (startPending_ && !linkLost) {
        startPending_ = false;
        if (run_->Start() == StartResult::kStarted) {
            BeginRun();
            return;
        }
    }
    startPending_ = false;
    SetStatus(linkLost ? kStatusStopped : kStatusEnded);
    SetEnabled(kIdStart, true);
    SetEnabled(kIdInputField, false);
    voice_->SetRunOn(false);
    run_->OnRunEnded();
    if (linkLost) {
        ShowMessage(QString::fromUtf8(kLinkLostText));
    }
}

bool MainDialog::StopRunAndWait(int timeoutMs) {
    startPending_ = false;
    run_->RequestStop(kStopButton);
    return run_->WaitUntilIdle(timeoutMs);
}

void MainDialog::SetStatus(const char* text) {
    SetText(kIdStatus, QString::fromUtf8(text));
}

void MainDialog::ShowAbout() {
    if (aboutHandler_) {
        aboutHandler_(this);
    }
}

void MainDialog::ShowMessage(const QString& text) {
    platform::MessageRequest request;
    request.text = text;
    request.caption = QString::fromLatin1(kProgramTitle);
    request.buttons = platform::MessageButtons::kOk;
    messages_.Show(this, request);
}

bool MainDialog::event(QEvent* event) {
    if (event->type() == platform::kRunEndedEvent) {
        OnRunEnded();
        return true;
    }
    return DialogWindow::event(event);
}

// --- Input field ---

bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched != inputField_ || !inputField_->isEnabled()) {
        return DialogWindow::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress) {
        // The key's text, all of it: a recogniser may send a whole word in
        // one event, and the one-character field must not drop the rest.
        // Keys without printable text (Return, Escape, Tab, ...) keep their
        // usual meaning in the dialog.
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (text.isEmpty() || IsControl(text[0])) {
            return false;
        }
        HandleTypedText(text);
        return true;
    }
    if (event->type() == QEvent::InputMethod) {
        const QString committed = static_cast<QInputMethodEvent*>(event)->commitString();
        if (!committed.isEmpty()) {
            HandleTypedText(committed);
        }
        event->accept();
        return true;
    }
    return false;
}

void MainDialog::TakeFieldText() {
    // Text that reached the field some other way (pasted, dropped).
    if (updating_) {
        return;
    }
    const QString text = inputField_->text();
    if (text.isEmpty()) {
        return;
    }
    {
        FlagScope updating(updating_);
        inputField_->clear();
    }
    HandleTypedText(text);
}

void MainDialog::HandleTypedText(const QString& text) {
    for (const QChar c : text) {
        std::uint8_t byte = 0;
        if (!KeyByte(c, byte)) {
            continue;  // matches nothing
        }
        const int matched = run_->HandleKey(keys_, byte);
        if (keyObserver_) {
            keyObserver_(byte, matched);
        }
    }
}

// --- Key editor ---

int MainDialog::SelectedKey() const {
    return ComboSelection(kIdKeyList);
}

void MainDialog::SelectKey(int index) {
    ComboSetSelection(kIdKeyList, index);
}

void MainDialog::RebuildKeyList() {
    auto* list = Control<QComboBox>(kIdKeyList);
    const QSignalBlocker blocker(list);
    list->clear();
    list->addItem(QString::fromLatin1(kPlaceholderText));
    for (int i = 1; i < keys_.Count(); ++i) {
        list->addItem(KeyText(keys_.Character(i)));
    }
}

void MainDialog::ShowSelectedKey() {
    const int index = SelectedKey();
    if (index < 0) {
        return;
    }
    {
        FlagScope updating(updating_);
        const KeyAction action = index == 0 ? kNoAction : keys_.Action(index);
        ComboSetSelection(kIdAction, action);
        if (action == kSetStates || action == kSetSpeeds) {
            for (int j = 0; j < kMotorCount; ++j) {
                SetChecked(kIdInclude + j, keys_.Included(index, j));
                if (action == kSetStates) {
                    ComboSetSelection(kIdValueState + j, keys_.Value(index, j));
                } else {
                    SetSliderValue(kIdValueSpeed + j, keys_.Value(index, j));
                }
            }
        }
    }
    ApplyRemoveKeyRule();
    ApplyVisibilityRules();
}

void MainDialog::ClearKeyRows() {
    FlagScope updating(updating_);
    for (int j = 0; j < kMotorCount; ++j) {
        ComboSetSelection(kIdValueState + j, kMotorOff);
        SetSliderValue(kIdValueSpeed + j, kMaxSpeed);
        SetChecked(kIdInclude + j, false);
    }
}

void MainDialog::AddKey() {
    SetEnabled(kIdAddKey, false);
    const QString text = Text(kIdNewKey);
    std::uint8_t byte = 0;
    if (text.size() != 1 || !KeyByte(text[0], byte)) {
        return;
    }
    const int index = keys_.Append(byte);
    if (index < 0) {
        return;  // full: the button is disabled then
    }
    {
        FlagScope updating(updating_);
        Control<QComboBox>(kIdKeyList)->blockSignals(true);
        Control<QComboBox>(kIdKeyList)->addItem(KeyText(byte));
        Control<QComboBox>(kIdKeyList)->blockSignals(false);
        SelectKey(index);
        SetText(kIdNewKey, QString());
        ComboSetSelection(kIdAction, kNoAction);
    }
    ClearKeyRows();
    SetEnabled(kIdAddKey, false);
    ApplyRemoveKeyRule();
    ApplyVisibilityRules();
}

void MainDialog::RemoveKey() {
    const int index = SelectedKey();
    if (index <= 0 || !keys_.Remove(index)) {
        return;
    }
    {
        auto* list = Control<QComboBox>(kIdKeyList);
        const QSignalBlocker blocker(list);
        list->removeItem(index);
    }
    // The entry that moved into its place, or the new last one.
    SelectKey(index < keys_.Count() ? index : keys_.Count() - 1);
    ShowSelectedKey();
    ApplyAddKeyRule();
}

void MainDialog::ChooseKeyAction() {
    const int index = SelectedKey();
    if (index < 0) {
        return;
    }
    if (index == 0) {
        ComboSetSelection(kIdAction, kNoAction);
    }
    ClearKeyRows();
    ApplyVisibilityRules();
    const auto chosen = static_cast<KeyAction>(ComboSelection(kIdAction));
    ComboSetSelection(kIdAction, ChooseAction(keys_, index, chosen));
}

void MainDialog::ClickInclude(int motor) {
    const int index = SelectedKey();
    if (index > 0 && !updating_) {
        keys_.SetIncluded(index, motor, IsChecked(kIdInclude + motor));
    }
    ApplyVisibilityRules();
}

void MainDialog::ChooseValueState(int motor) {
    const int index = SelectedKey();
    if (index > 0 && !updating_ && keys_.Action(index) == kSetStates) {
        keys_.SetValue(index, motor,
                       static_cast<std::uint8_t>(ComboSelection(kIdValueState + motor)));
    }
}

void MainDialog::MoveValueSpeed(int motor) {
    SetSliderLabel(kIdValueSpeed + motor, kIdValueSpeedLabel + motor);
    const int index = SelectedKey();
    if (index > 0 && !updating_ && keys_.Action(index) == kSetSpeeds) {
        keys_.SetValue(index, motor, static_cast<std::uint8_t>(SliderValue(kIdValueSpeed + motor)));
    }
}

}  // namespace kinemo::keyboard::ui

// --- Speech input ---

namespace kinemo::keyboard::ui {

void MainDialog::MakeVoiceListener(const std::string& wavPath) {
    voice_.reset();
    VoiceListenerCallbacks callbacks;
    callbacks.heard = [this](std::uint8_t character, const QString& word) {
        WordHeard(character, word);
    };
    callbacks.refused = [this](const QString& message) { VoiceRefused(message); };
    callbacks.stateChanged = [this] { ShowVoiceState(); };
    voice_ = std::make_unique<VoiceListener>(wavPath, std::move(callbacks));
}

void MainDialog::SetVoiceServices(platform::FileDialogService* files, const std::string& wavPath) {
    files_ = files;
    if (wavPath != voice_->WavPath()) {
        MakeVoiceListener(wavPath);
        if (IsChecked(kIdVoiceInput)) {
            voice_->Listen(WordListPath());
        }
    }
}

std::string MainDialog::WordListPath() const {
    return QFile::encodeName(Text(kIdWordList)).toStdString();
}

VoiceSettings MainDialog::CurrentVoiceSettings() const {
    VoiceSettings settings;
    settings.on = IsChecked(kIdVoiceInput);
    settings.wordListPath = WordListPath();
    if (settings.wordListPath == ShippedWordList()) {
        settings.wordListPath.clear();  // found anew wherever the program lies
    }
    return settings;
}

void MainDialog::ApplyVoiceSettings(const VoiceSettings& settings) {
    const std::string path =
        settings.wordListPath.empty() ? ShippedWordList() : settings.wordListPath;
    SetText(kIdWordList, QFile::decodeName(path.c_str()));
    SetChecked(kIdVoiceInput, settings.on);
    ClickVoiceInput();
}

void MainDialog::StopListening() {
    // A fresh listener in place of the old one, which stops on its way out.
    const std::string wavPath = voice_->WavPath();
    MakeVoiceListener(wavPath);
}

void MainDialog::ClickVoiceInput() {
    if (IsChecked(kIdVoiceInput)) {
        voice_->Listen(WordListPath());
    } else {
        voice_->Off();
    }
}

void MainDialog::ChooseWordList() {
    if (files_ == nullptr) {
        return;
    }
    platform::FileDialogRequest request;
    request.mode = platform::FileDialogMode::kOpen;
    request.filter = QStringLiteral("*.txt");
    request.initialName = Text(kIdWordList);
    request.caption = QStringLiteral("Wortliste wählen");
    const QString chosen = files_->Choose(this, request);
    if (chosen.isEmpty()) {
        return;
    }
    SetText(kIdWordList, chosen);
    TakeWordList();
}

void MainDialog::TakeWordList() {
    if (IsChecked(kIdVoiceInput)) {
        voice_->Listen(WordListPath());
    }
}

void MainDialog::WordHeard(std::uint8_t character, const QString& word) {
    SetText(kIdHeardWord, QString::fromUtf8(kHeardPrefix) + word);
    // Like a typed key, a word acts only while a run is on.
    if (!inputField_->isEnabled()) {
        return;
    }
    const int matched = run_->HandleKey(keys_, character);
    if (keyObserver_) {
        keyObserver_(character, matched);
    }
}

void MainDialog::VoiceRefused(const QString& message) {
    SetChecked(kIdVoiceInput, false);
    voice_->Off();
    ShowMessage(message);
}

void MainDialog::ShowVoiceState() {
    const char* text = "";
    if (IsChecked(kIdVoiceInput)) {
        if (voice_->Loading()) {
            text = kVoiceLoadingText;
        } else if (voice_->Listening()) {
            text = kVoiceListeningText;
        }
    }
    SetText(kIdHeardWord, QString::fromUtf8(text));
}

}  // namespace kinemo::keyboard::ui
