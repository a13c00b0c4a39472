// Saving and loading program files through the main window, with scripted
// file dialogs and message boxes: the dialog flow, the messages, the round
// trip and full lists. (File bytes, refusals, truncated, oversized and random
// files: program_file_test.)
#include <QFile>
#include <QTemporaryDir>

#include "sequencer/engine/program_file.h"
#include "tests/sequencer/ui/main_dialog_test_support.h"

namespace kinemo::ui::testing {
namespace {

using engine::MovementRecord;
using platform::MessageResult;

QByteArray Bytes(const std::vector<std::uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

// A program file with `count` fresh records "M0", "M1", ...
QByteArray ProgramBytes(int count, engine::RunSettingsValues settings = {}) {
    engine::MovementList scratch;
    engine::ResetMovement(scratch, 0);
    std::vector<MovementRecord> records(static_cast<std::size_t>(count), scratch.records[0]);
    for (int i = 0; i < count; ++i) {
        engine::SetRecordName(records[i], "M" + std::to_string(i));
    }
    return Bytes(engine::SerializeProgram(settings, records));
}

class ProgramIoTest : public MainDialogFixture {
  protected:
    QString PathOf(const char* name) { return folder.filePath(QString::fromLatin1(name)); }
    QByteArray ReadBytes(const char* name) {
        QFile file(PathOf(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        return file.readAll();
    }
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

TEST_F(ProgramIoTest, SaveWritesTheListAndItsSettingsAndLoadShowsThem) {
    // Every field through the controls: ShowThenStore in main_dialog_test.
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
    const std::vector<MovementRecord> saved(Movements().records.begin(),
                                            Movements().records.begin() + 3);
    EXPECT_EQ(engine::RecordName(saved[0]) + std::to_string(saved[0].speed[3]) +
                  std::to_string(saved[0].direction[3]),
              "A420");
    const QByteArray bytes = ReadBytes("liste.kmo");
    EXPECT_EQ(bytes, Bytes(engine::SerializeProgram({1, 1, 6}, std::span(saved))));

    messages.Answer(MessageResult::kOk);
    Click(kIdNewList);
    Load("liste.kmo");
    EXPECT_EQ(files.Requests().back().mode, platform::FileDialogMode::kOpen);
    EXPECT_EQ(LastBox(),
              QStringLiteral("Hinweis: Alle nicht gespeicherten Daten gehen verloren !"));
    EXPECT_EQ(ListState() + " " + Buttons(), "[A] B C +139 +134 +133 -138");
    EXPECT_TRUE(dialog->IsChecked(kIdEndlessLoop) && dialog->IsChecked(kIdOffSwitch) &&
                dialog->IsEnabled(kIdOffSwitchInput) && Text(kIdOffSwitchInput) == "E7");
    Save("again.kmo");  // the loaded list, shown and stored again, gives the same bytes
    EXPECT_EQ(ReadBytes("again.kmo"), bytes);
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
// buffer named like the empty one counts as empty).
TEST_F(ProgramIoTest, FullListsDisableAddAndPaste) {
    while (Lines() < 254) {
        Click(kIdAdd);
    }
    EXPECT_EQ(Status(), "Bereit");
    Click(kIdAdd);  // starts with 254: appends the 255th and fills the list
    EXPECT_EQ(Selection(), 254);
    EXPECT_EQ(Buttons() + Status(), "-140 +134 +133 -138Max. Anzahl erreicht");
    Click(kIdAdd);
    Type(kIdMovementName, QStringLiteral("__Leer__"));
    Click(kIdCopy);
    Click(kIdDelete);
    EXPECT_EQ(Buttons(), "+139 +134 +133 -138");
    Type(kIdMovementName, QStringLiteral("Greifer"));
    Click(kIdCopy);  // at 254 a copy leaves paste alone
    EXPECT_EQ(Buttons(), "+139 +134 +133 -138");
    Click(kIdDelete);
    // The note stays until a run replaces it.
    EXPECT_EQ(Buttons() + Status(), "+139 +134 +133 +131Max. Anzahl erreicht");

    for (const int count : {254, 255, 253}) {
        SCOPED_TRACE(count);
        messages.ClearRequests();
        WriteBytes("full.kmo", ProgramBytes(count));
        Load("full.kmo");
        EXPECT_EQ(messages.Requests().size(), 1u);  // the question only
        EXPECT_EQ(Lines(), count);
        EXPECT_EQ(Buttons(), count > 253 ? "-140 +134 +133 -138" : "+139 +134 +133 +131");
    }
    Click(kIdPaste);
    EXPECT_EQ(Buttons(), "+139 +134 +133 +131");
    Click(kIdPaste);  // starts with 254: inserts the 255th and fills the list
    EXPECT_EQ(std::pair(Lines(), Selection()), std::pair(255, 2));
    EXPECT_EQ(Buttons(), "-140 +134 +133 -138");
    Click(kIdPaste);
    EXPECT_EQ(Lines(), 255);

    // More than 255 in a file: the first 255 with a note.
    WriteBytes("big.kmo", ProgramBytes(258));
    Load("big.kmo");
    EXPECT_EQ(LastBox(), QStringLiteral("Hinweis OK: Die Datei enthält mehr als 255 Bewegungen.\n"
                                        "Nur die ersten 255 wurden geladen, 3 weitere wurden "
                                        "übergangen."));
    Save("cut.kmo");
    EXPECT_EQ(ReadBytes("cut.kmo"), ProgramBytes(258).left(7 + 176 * 255));
}

}  // namespace
}  // namespace kinemo::ui::testing
