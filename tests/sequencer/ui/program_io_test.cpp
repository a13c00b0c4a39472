// Saving and loading through the main window: the dialog flow, the messages,
// the round trip and full lists. (The file bytes: program_file_test.)
#include <QFile>
#include <QTemporaryDir>

#include "sequencer/engine/program_file.h"
#include "tests/sequencer/ui/main_dialog_test_support.h"

namespace kinemo::ui::testing {
namespace {

using engine::MovementRecord;
using platform::MessageResult;

class ProgramIoTest : public MainDialogFixture {
  protected:
    // A program file with `count` fresh records "M0", "M1", ...
    static QByteArray ProgramBytes(int count, engine::RunSettingsValues settings = {}) {
        engine::MovementList scratch;
        std::vector<MovementRecord> records;
        for (int i = 0; i < count; ++i) {
            engine::ResetMovement(scratch, 0);
            engine::SetRecordName(scratch.records[0], "M" + std::to_string(i));
            records.push_back(scratch.records[0]);
        }
        const std::vector<std::uint8_t> b = engine::SerializeProgram(settings, records);
        return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
    }
    QString PathOf(const char* name) { return folder.filePath(QString::fromLatin1(name)); }
    void WriteBytes(const char* name, const QByteArray& bytes) {
        QFile file(PathOf(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    void Save(const char* name) {
        files.Answer(PathOf(name));
        Click(kIdSave);
    }
    void Load(const char* name, bool confirm = true) {
        files.Answer(PathOf(name));
        messages.Answer(confirm ? MessageResult::kOk : MessageResult::kCancel);
        Click(kIdLoad);
    }
    // The last message box: its caption, text and whether it has only "OK".
    QString LastBox() {
        const platform::MessageRequest& box = messages.Requests().back();
        return box.caption + (box.buttons == platform::MessageButtons::kOk ? " OK: " : ": ") +
               box.text;
    }

    QTemporaryDir folder;
};

// The file is loaded into a fresh list, so what comes back went through it.
TEST_F(ProgramIoTest, SavedListAndSettingsComeBackOnLoad) {
    for (const char* name : {"B", "C"}) {
        Click(kIdAdd);
        Type(kIdMovementName, QString::fromLatin1(name));
    }
    SelectLine(0);
    Get<QSlider>(PanelIds(3).speed1)->setValue(42);
    Click(PanelIds(3).left);
    Click(kIdEndlessLoop);
    Click(kIdOffSwitch);
    QTest::keyClick(Get<QComboBox>(kIdOffSwitchInput), Qt::Key_Up);  // E7
    Type(kIdMovementName, QStringLiteral("A"));  // saved although not stored yet
    Save("liste.kmo");
    const platform::FileDialogRequest& asked = files.Requests()[0];
    EXPECT_EQ(std::pair(asked.mode, asked.filter + asked.defaultExtension + asked.initialName),
              std::pair(platform::FileDialogMode::kSave, QStringLiteral("*.kmokmo*.kmo")));
    EXPECT_TRUE(messages.Requests().empty());
    messages.Answer(MessageResult::kOk);
    Click(kIdNewList);
    Load("liste.kmo");
    EXPECT_EQ(
        std::pair(files.Requests().back().mode, LastBox()),
        std::pair(platform::FileDialogMode::kOpen,
                  QStringLiteral("Hinweis: Alle nicht gespeicherten Daten gehen verloren !")));
    EXPECT_EQ(ListState() + " " + Buttons(), "[A] B C +139 +134 +133 -138");
    EXPECT_TRUE(dialog->IsChecked(kIdEndlessLoop) && dialog->IsChecked(kIdOffSwitch) &&
                dialog->IsEnabled(kIdOffSwitchInput) && Text(kIdOffSwitchInput) == "E7" &&
                dialog->SliderValue(PanelIds(3).speed1) == 42 &&
                dialog->IsChecked(PanelIds(3).left));
}

// Cancelled file dialogs do nothing; a missing folder and refused files are
// reported, the list stays as it is and no question is asked; a cancelled
// question keeps the list, whose shown movement was stored before asking.
TEST_F(ProgramIoTest, RefusedFilesAndACancelledQuestionLeaveTheList) {
    Click(kIdAdd);
    Type(kIdMovementName, QStringLiteral("bleibt"));
    files.Answer(QString());
    Click(kIdSave);
    files.Answer(QString());
    Click(kIdLoad);
    EXPECT_TRUE(messages.Requests().empty());
    Save("fehlt/liste.kmo");
    EXPECT_EQ(LastBox(),
              "Fehler OK: Datei kann nicht angelegt werden:\n" + PathOf("fehlt/liste.kmo"));
    EXPECT_TRUE(QDir(folder.path()).isEmpty());
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("ordner")));
    // One file for each message.
    const std::vector<std::tuple<const char*, QByteArray, QString>> cases = {
        {"text.kmo", "Hallo Welt, das ist Text\n", QStringLiteral("Ungültige Datei")},
        {"version.kmo", "KMO2" + ProgramBytes(1).mid(4), QStringLiteral("Falsche Kinemo-Version")},
        {"header.kmo", ProgramBytes(1).left(7 + 175),
         QStringLiteral("Die Datei enthält keine vollständige Bewegung:\n") + PathOf("header.kmo")},
        {"ordner", {}, QStringLiteral("Datei kann nicht geöffnet werden:\n") + PathOf("ordner")},
    };
    for (const auto& [name, bytes, message] : cases) {
        SCOPED_TRACE(name);
        if (!bytes.isEmpty()) {
            WriteBytes(name, bytes);
        }
        messages.ClearRequests();
        files.Answer(PathOf(name));
        Click(kIdLoad);
        ASSERT_EQ(messages.Requests().size(), 1u);  // no NewList question
        EXPECT_EQ(LastBox(), "Fehler OK: " + message);
        EXPECT_EQ(ListState(), "Neue Bewegung [bleibt]");
    }
    WriteBytes("one.kmo", ProgramBytes(1, {0, 1, 3}));
    Type(kIdMovementName, QStringLiteral("meins"));
    Load("one.kmo", false);
    EXPECT_EQ(ListState() + engine::RecordName(Movements().records[1]),
              "Neue Bewegung [meins]meins");
    Load("one.kmo");
    EXPECT_EQ(ListState() + " " + Buttons() + " " + Status(), "[M0] +139 -137 -136 -138 Bereit");
    EXPECT_TRUE(!dialog->IsChecked(kIdEndlessLoop) && dialog->IsChecked(kIdOffSwitch) &&
                Text(kIdOffSwitchInput) == "E4");
}

// Added, loaded or pasted up to 255 movements: add and paste go off with the
// note in the status line, and come back when a delete makes room (a copy
// buffer named like the empty one counts as empty). After each step: lines,
// selection, message boxes asked so far, buttons and status.
TEST_F(ProgramIoTest, FullListsDisableAddAndPaste) {
    const char* const kNote = " Max. Anzahl erreicht";
    while (Lines() < 254) {
        Click(kIdAdd);
    }
    std::vector<std::string> seen;
    const auto note = [&] {
        seen.push_back(std::to_string(Lines()) + " #" + std::to_string(Selection()) + " " +
                       std::to_string(messages.Requests().size()) + " " + Buttons() + " " +
                       Status());
    };
    note();
    Click(kIdAdd);  // starts with 254: appends the 255th and fills the list
    note();
    Click(kIdAdd);
    Type(kIdMovementName, QStringLiteral("__Leer__"));
    Click(kIdCopy);
    Click(kIdDelete);
    note();
    Type(kIdMovementName, QStringLiteral("Greifer"));
    Click(kIdCopy);  // at 254 a copy leaves paste alone
    note();
    Click(kIdDelete);  // the note stays until a run replaces it
    note();
    for (const int count : {254, 255, 253}) {
        WriteBytes("full.kmo", ProgramBytes(count));
        Load("full.kmo");  // the question only
        note();
    }
    for (int paste = 0; paste < 3; ++paste) {
        Click(kIdPaste);  // the second starts with 254: inserts the 255th and fills the list
        note();
    }
    const std::string full = " -140 +134 +133 -138", room = " +139 +134 +133 +131";
    const std::string stays = " +139 +134 +133 -138";
    EXPECT_EQ(
        seen,
        (std::vector<std::string>{
            "254 #253 0" + stays + " Bereit", "255 #254 0" + full + kNote,
            "254 #253 0" + stays + kNote, "254 #253 0" + stays + kNote, "253 #252 0" + room + kNote,
            "254 #0 1" + full + kNote, "255 #0 2" + full + kNote, "253 #0 3" + room + kNote,
            "254 #1 3" + room + kNote, "255 #2 3" + full + kNote, "255 #2 3" + full + kNote}));

    // More than 255 in a file: the first 255 with a note.
    WriteBytes("big.kmo", ProgramBytes(258));
    Load("big.kmo");
    EXPECT_EQ(LastBox() + QString::number(Lines()),
              QStringLiteral("Hinweis OK: Die Datei enthält mehr als 255 Bewegungen.\n"
                             "Nur die ersten 255 wurden geladen, 3 weitere wurden übergangen.255"));
}

}  // namespace
}  // namespace kinemo::ui::testing
