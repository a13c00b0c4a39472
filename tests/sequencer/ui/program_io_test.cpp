// Saving and loading program files through the main window, with scripted
// file dialogs and message boxes: exact file bytes, the round trip and every
// refusal. (Random, truncated and oversized files against the parser:
// program_file_test.)
#include <QFile>
#include <QTemporaryDir>

#include "sequencer/engine/program_file.h"
#include "tests/sequencer/ui/main_dialog_test_support.h"

namespace kinemo::ui::testing {
namespace {

using engine::MovementRecord;
using platform::FileDialogMode;
using platform::MessageResult;

class ProgramIoTest : public MainDialogFixture {
  protected:
    QString PathOf(const char* name) { return folder.filePath(QString::fromLatin1(name)); }

    QByteArray ReadBytes(const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return file.readAll();
    }

    void WriteBytes(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    // A program file with `count` records named "M0", "M1", ... whose M1
    // start and target speed is the record number modulo 100.
    QByteArray ProgramBytes(int count, engine::RunSettingsValues settings = {}) {
        std::vector<MovementRecord> records(static_cast<std::size_t>(count));
        engine::MovementList scratch;
        for (int i = 0; i < count; ++i) {
            engine::ResetMovement(scratch, 0);
            records[i] = scratch.records[0];
            engine::SetRecordName(records[i], "M" + std::to_string(i));
            records[i].speed[0] = static_cast<std::uint8_t>(i % 100);
            records[i].targetSpeed[0] = records[i].speed[0];
        }
        return Bytes(engine::SerializeProgram(settings, records));
    }
    static QByteArray Bytes(const std::vector<std::uint8_t>& bytes) {
        return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qsizetype>(bytes.size()));
    }

    void Save(const QString& path) {
        files.Answer(path);
        Click(kIdSave);
    }

    void Load(const QString& path, bool confirm = true) {
        files.Answer(path);
        messages.Answer(confirm ? MessageResult::kOk : MessageResult::kCancel);
        Click(kIdLoad);
    }

    // Builds "A", "B", "C" with settings in every field that the controls
    // can hold, "A" shown.
    void BuildVariedList() {
        Click(kIdAdd);
        Click(kIdAdd);
        SelectLine(0);  // the shown movement's record is the dialog's to write
        engine::MovementList& list = Movements();
        for (int i = 1; i <= 2; ++i) {
            MovementRecord& r = list.records[i];
            engine::SetRecordName(r, i == 1 ? "B" : "C");
            for (int m = 0; m < engine::kMotorCount; ++m) {
                r.speed[m] = static_cast<std::uint8_t>(10 * i + m);
                r.fineSpeed[m] = static_cast<std::uint8_t>(25 * m);
                r.targetSpeed[m] = static_cast<std::uint8_t>(90 - m);
                r.targetFineSpeed[m] = static_cast<std::uint8_t>(3 * m);
                r.direction[m] = static_cast<std::uint8_t>((m + i) % 3);
                r.accelOn[m] = 1;
                r.accelDuration[m] = 1000 * i + m;
                r.endSwitchOn[m] = m % 2;
                r.endSwitchInput[m] = 8 - m;
                r.maxDurationOn[m] = (m + 1) % 2;
                r.maxDuration[m] = 65535 - m;
                r.maxImpulsesOn[m] = 1;
                r.maxImpulses[m] = 123456789 + m;
                r.impulseInput[m] = static_cast<std::uint8_t>(m + 2);
            }
        }
        SelectLine(2);  // shows C and B, which names their lines ...
        SelectLine(1);
        SelectLine(0);  // ... and stores them back unchanged
        Type(kIdMovementName, QStringLiteral("A"));
        Get<QSlider>(PanelIds(3).speed1)->setValue(42);
        Click(PanelIds(3).left);
        Click(kIdEndlessLoop);
        Click(kIdOffSwitch);
        QTest::keyClick(Get<QComboBox>(kIdOffSwitchInput), Qt::Key_Up);  // E7
    }

    void ExpectErrorBox(const QString& text) {
        ASSERT_FALSE(messages.Requests().empty());
        const platform::MessageRequest& box = messages.Requests().back();
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.caption, QStringLiteral("Fehler"));
        EXPECT_EQ(box.buttons, platform::MessageButtons::kOk);
    }

    QTemporaryDir folder;
};

TEST_F(ProgramIoTest, SaveWritesHeaderAndRecordsAndLoadReproducesThem) {
    BuildVariedList();
    const QString path = PathOf("liste.kmo");
    Save(path);
    ASSERT_EQ(files.Requests().size(), 1u);
    const platform::FileDialogRequest& asked = files.Requests()[0];
    EXPECT_EQ(asked.mode, FileDialogMode::kSave);
    EXPECT_EQ(asked.filter + asked.defaultExtension + asked.initialName,
              QStringLiteral("*.kmokmo*.kmo"));
    EXPECT_TRUE(messages.Requests().empty());

    const std::vector<MovementRecord> saved(Movements().records.begin(),
                                            Movements().records.begin() + 3);
    EXPECT_EQ(saved[0].speed[3], 42);
    EXPECT_EQ(saved[0].direction[3], engine::kDirectionLeft);
    EXPECT_EQ(engine::RecordName(saved[0]), "A");
    const QByteArray bytes = ReadBytes(path);
    EXPECT_EQ(bytes, Bytes(engine::SerializeProgram({1, 1, 6}, std::span(saved))));

    messages.Answer(MessageResult::kOk);
    Click(kIdNewList);
    Load(path);
    EXPECT_EQ(files.Requests().back().mode, FileDialogMode::kOpen);
    EXPECT_EQ(messages.Requests().back().text,
              QStringLiteral("Alle nicht gespeicherten Daten gehen verloren !"));
    EXPECT_EQ(LineTexts(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(dialog->ListSelection(kIdMovementList), 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Movements().records[i], saved[i]) << i;
    }
    EXPECT_TRUE(dialog->IsChecked(kIdEndlessLoop));
    EXPECT_TRUE(dialog->IsChecked(kIdOffSwitch));
    EXPECT_TRUE(dialog->IsEnabled(kIdOffSwitchInput));
    EXPECT_EQ(Text(kIdOffSwitchInput), QStringLiteral("E7"));
    EXPECT_EQ(dialog->SliderValue(PanelIds(3).speed1), 42);
    EXPECT_TRUE(dialog->IsEnabled(kIdDelete));
    EXPECT_EQ(dialog->Bitmap(kIdCut), 133);

    // Saving the loaded list again gives the same bytes.
    Save(PathOf("again.kmo"));
    EXPECT_EQ(ReadBytes(PathOf("again.kmo")), bytes);
}

TEST_F(ProgramIoTest, SavingRightAfterRenamingStoresTheNewName) {
    Type(kIdMovementName, QStringLiteral("Kran links"));
    Save(PathOf("name.kmo"));
    const QByteArray bytes = ReadBytes(PathOf("name.kmo"));
    ASSERT_EQ(bytes.size(), 7 + 176);
    EXPECT_EQ(bytes.mid(7, 11), QByteArray("Kran links\0", 11));
}

TEST_F(ProgramIoTest, CancelledDialogsDoNothingAndAMissingFolderIsReported) {
    files.Answer(QString());
    Click(kIdSave);
    files.Answer(QString());
    Click(kIdLoad);
    EXPECT_EQ(files.Requests().size(), 2u);
    EXPECT_TRUE(messages.Requests().empty());
    EXPECT_TRUE(QDir(folder.path()).isEmpty());
    const QString path = PathOf("fehlt/liste.kmo");
    Save(path);
    ExpectErrorBox(QStringLiteral("Datei kann nicht angelegt werden:\n") + path);
    EXPECT_TRUE(QDir(folder.path()).isEmpty());
}

TEST_F(ProgramIoTest, RefusedFilesLeaveTheListUntouchedAndAskNothing) {
    Click(kIdAdd);
    Type(kIdMovementName, QStringLiteral("bleibt"));
    struct Case {
        const char* name;
        QByteArray bytes;
        QString message;
    };
    const QString invalid = QStringLiteral("Ungültige Datei");
    const std::vector<Case> cases = {
        {"text.kmo", QByteArray("Hallo Welt, das ist Text\n"), invalid},
        {"short.kmo", QByteArray("KMO"), invalid},
        {"empty.kmo", QByteArray(), invalid},
        {"other.kmo", QByteArray("XMO3") + ProgramBytes(1).mid(4), invalid},
        {"version.kmo", QByteArray("KMO2") + ProgramBytes(1).mid(4),
         QStringLiteral("Falsche Kinemo-Version")},
        {"header.kmo", ProgramBytes(1).left(7 + 175),
         QStringLiteral("Die Datei enthält keine vollständige Bewegung:\n") + PathOf("header.kmo")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(PathOf(c.name), c.bytes);
        messages.ClearRequests();
        files.Answer(PathOf(c.name));
        Click(kIdLoad);
        ASSERT_EQ(messages.Requests().size(), 1u);  // no NewList question
        ExpectErrorBox(c.message);
        EXPECT_EQ(LineTexts(), (std::vector<std::string>{"Neue Bewegung", "bleibt"}));
        EXPECT_EQ(dialog->ListSelection(kIdMovementList), 1);
    }

    messages.ClearRequests();
    files.Answer(PathOf("missing.kmo"));
    Click(kIdLoad);
    ExpectErrorBox(QStringLiteral("Datei kann nicht geöffnet werden:\n") + PathOf("missing.kmo"));
    messages.ClearRequests();
    files.Answer(folder.path());
    Click(kIdLoad);
    ExpectErrorBox(QStringLiteral("Datei kann nicht geöffnet werden:\n") + folder.path());
    EXPECT_EQ(Lines(), 2);
}

TEST_F(ProgramIoTest, CancelledConfirmationKeepsTheListAndALoadCountsCompleteRecordsOnly) {
    QByteArray one = ProgramBytes(1, {0, 1, 3});
    one.append(QByteArray(124, '\0'));  // 300 bytes after the header
    WriteBytes(PathOf("one.kmo"), one);
    Type(kIdMovementName, QStringLiteral("meins"));
    Load(PathOf("one.kmo"), false);
    EXPECT_EQ(LineTexts(), (std::vector<std::string>{"meins"}));
    EXPECT_EQ(engine::RecordName(Movements().records[0]), "meins");  // stored before asking

    Load(PathOf("one.kmo"));
    EXPECT_EQ(LineTexts(), (std::vector<std::string>{"M0"}));
    EXPECT_FALSE(dialog->IsEnabled(kIdDelete));
    EXPECT_FALSE(dialog->IsChecked(kIdEndlessLoop));
    EXPECT_TRUE(dialog->IsChecked(kIdOffSwitch));
    EXPECT_EQ(Text(kIdOffSwitchInput), QStringLiteral("E4"));
    EXPECT_EQ(Status(), "Bereit");
}

TEST_F(ProgramIoTest, FullListsDisableAddAndPaste) {
    Click(kIdCopy);
    for (const int count : {254, 255}) {
        SCOPED_TRACE(count);
        WriteBytes(PathOf("full.kmo"), ProgramBytes(count));
        Load(PathOf("full.kmo"));
        EXPECT_EQ(Lines(), count);
        EXPECT_FALSE(dialog->IsEnabled(kIdAdd));
        EXPECT_EQ(dialog->Bitmap(kIdAdd), 140);
        EXPECT_FALSE(dialog->IsEnabled(kIdPaste));
        EXPECT_EQ(dialog->Bitmap(kIdPaste), 138);
        EXPECT_EQ(Status(), "Max. Anzahl erreicht");
        EXPECT_EQ(messages.Requests().size(), static_cast<std::size_t>(count - 253));
    }
    WriteBytes(PathOf("253.kmo"), ProgramBytes(253));
    Load(PathOf("253.kmo"));
    EXPECT_TRUE(dialog->IsEnabled(kIdAdd));
    EXPECT_TRUE(dialog->IsEnabled(kIdPaste));  // the copy buffer holds a movement
    Click(kIdPaste);
    EXPECT_EQ(Lines(), 254);
    EXPECT_TRUE(dialog->IsEnabled(kIdPaste));
    Click(kIdPaste);  // starts with 254: inserts the 255th and fills the list
    EXPECT_EQ(Lines(), 255);
    EXPECT_EQ(dialog->ListSelection(kIdMovementList), 2);
    EXPECT_FALSE(dialog->IsEnabled(kIdPaste));
    EXPECT_FALSE(dialog->IsEnabled(kIdAdd));
    Click(kIdPaste);
    EXPECT_EQ(Lines(), 255);
}

TEST_F(ProgramIoTest, MoreThan255MovementsLoadTheFirst255WithANote) {
    WriteBytes(PathOf("big.kmo"), ProgramBytes(258));
    Load(PathOf("big.kmo"));
    EXPECT_EQ(Lines(), 255);
    EXPECT_EQ(dialog->ListText(kIdMovementList, 254), QStringLiteral("M254"));
    ASSERT_EQ(messages.Requests().size(), 2u);
    const platform::MessageRequest& note = messages.Requests()[1];
    EXPECT_EQ(note.caption, QStringLiteral("Hinweis"));
    EXPECT_EQ(note.text, QStringLiteral("Die Datei enthält mehr als 255 Bewegungen.\nNur die "
                                        "ersten 255 wurden geladen, 3 weitere wurden übergangen."));
    Save(PathOf("cut.kmo"));
    EXPECT_EQ(ReadBytes(PathOf("cut.kmo")), ProgramBytes(258).left(7 + 176 * 255));
}

}  // namespace
}  // namespace kinemo::ui::testing
