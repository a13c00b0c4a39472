// The dialog layer: dialog-unit layout, controls by id, notifications, radio
// groups, pictures, the context menu and posted events.
#include "platform/dialog_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QThread>
#include <thread>

#include "platform/dialog_events.h"
#include "platform/dialog_units.h"

namespace kinemo::platform {
namespace {

TEST(DialogUnits, ConvertWithTheFontsAverageCharacterWidthAndHeight) {
    QFont font = QApplication::font();
    font.setPointSize(11);
    const DialogUnitBase base = MeasureDialogUnits(font);
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(std::pair(base.x, base.y), std::pair((letters / 26 + 1) / 2, metrics.height()));
    const DialogUnitBase fixed{6, 13};  // 691.5 rounds up, 531.375 down
    EXPECT_EQ(std::tuple(HorizontalUnitsToPixels(fixed, 461), VerticalUnitsToPixels(fixed, 327),
                         DialogUnitsToPixels(fixed, 4, 8, 2, 4)),
              std::tuple(692, 531, QRect(6, 13, 3, 7)));
}

class DialogWindowTest : public ::testing::Test {
  protected:
    // Lays the dialog out as showing it would.
    void Layout() {
        dialog.ensurePolished();
        dialog.layout()->activate();
    }
    void Show() {
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }
    // A rectangle between the pixel positions of its edges.
    QRect At(int x, int y, int w, int h) {
        const DialogUnitBase& u = dialog.Units();
        return QRect(
            QPoint(HorizontalUnitsToPixels(u, x), VerticalUnitsToPixels(u, y)),
            QPoint(HorizontalUnitsToPixels(u, x + w) - 1, VerticalUnitsToPixels(u, y + h) - 1));
    }
    DialogWindow dialog{QStringLiteral("Probe"), 200, 100};
};

// Pictures and icons from missing resources stay blank.
TEST_F(DialogWindowTest, PlacesControlsInDialogUnitsAndFindsThemById) {
    QLabel* label = dialog.AddStatic(10, QStringLiteral("rechts"), 5, 6, 40, 8, Qt::AlignRight);
    dialog.AddGroupBox(11, QStringLiteral("Rahmen"), 1, 1, 100, 50);
    dialog.AddPushButton(12, QStringLiteral("OK"), 50, 80, 40, 14);
    dialog.AddCheckBox(13, QStringLiteral("Haken"), 5, 20, 50, 10);
    dialog.AddListBox(15, 120, 5, 70, 60);
    dialog.AddTrackbar(17, 5, 50, 100, 14, 0, 99);
    QPushButton* bitmap = dialog.AddBitmapButton(18, 9999, 0, 0, 17, 16);
    Layout();
    // Every text fits its rectangle: nothing grows.
    EXPECT_EQ(std::tuple(dialog.size(), label->geometry(), dialog.ControlWidget(15)->geometry()),
              std::tuple(At(0, 0, 200, 100).size(), At(5, 6, 40, 8), At(120, 5, 70, 60)));
    EXPECT_TRUE(label->alignment() & Qt::AlignRight);
    EXPECT_EQ(dialog.Control<QLabel>(10), label);
    EXPECT_FALSE(dialog.Control<QPushButton>(12)->autoDefault());  // Enter presses no button
    EXPECT_EQ(dialog.Control<QPushButton>(10), nullptr);           // wrong kind
    EXPECT_EQ(dialog.ControlWidget(99), nullptr);

    dialog.SetEnabled(13, false);
    dialog.SetSliderValue(17, 150);  // the slider clamps
    EXPECT_EQ(std::tuple(dialog.IsEnabled(13), dialog.IsEnabled(99), dialog.SliderValue(17)),
              std::tuple(false, false, 99));

    dialog.SetBitmap(18, 9998);
    dialog.SetProgramIcon(QStringLiteral(":/kinemo/no-such-icon.png"));
    EXPECT_EQ(std::tuple(bitmap->icon().isNull(), dialog.Bitmap(18), dialog.windowIcon().isNull()),
              std::tuple(true, 9998, true));
}

TEST_F(DialogWindowTest, ALongTextMovesTheColumnsAfterItAndTheWindowGrows) {
    QLabel* label = dialog.AddStatic(10, QStringLiteral("kurz"), 5, 6, 40, 8);
    QPushButton* beside = dialog.AddPushButton(11, QStringLiteral("OK"), 50, 4, 40, 14);
    QPushButton* below = dialog.AddPushButton(12, QStringLiteral("Nein"), 5, 80, 30, 14);
    Layout();
    const QSize designed = dialog.size();

    const QString longText(60, QLatin1Char('W'));
    dialog.SetText(10, longText);
    Layout();
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(longText));
    const int grown = label->width() - At(5, 6, 40, 8).width();
    // The button to the right moves on by what the label grew; the one
    // below keeps its column; the window is as much wider.
    EXPECT_EQ(std::tuple(beside->geometry(), below->geometry(), dialog.size()),
              std::tuple(At(50, 4, 40, 14).translated(grown, 0), At(5, 80, 30, 14),
                         designed + QSize(grown, 0)));

    // Texts reserved for later keep the window from growing when they come.
    dialog.SetText(10, QStringLiteral("kurz"));
    dialog.ReserveTexts(10, {longText});
    Layout();
    const QSize reserved = dialog.size();
    dialog.SetText(10, longText);
    Layout();
    EXPECT_EQ(dialog.size(), reserved);
}

TEST_F(DialogWindowTest, RadioGroupsAreExclusiveWithinThemselvesOnly) {
    for (int id = 1; id <= 4; ++id) {
        dialog.AddRadioButton(id, QString::number(id), 20 * (id % 2), 10 * (id / 3), 20, 10,
                              id % 2 == 1);
    }
    auto click = [&](std::initializer_list<int> ids) {
        for (const int id : ids) {
            dialog.Control<QRadioButton>(id)->click();
        }
        return std::pair(dialog.CheckedRadio({1, 2}), dialog.CheckedRadio({3, 4}));
    };
    EXPECT_EQ(click({1, 4}), std::pair(0, 1));
    EXPECT_EQ(click({2}), std::pair(1, 1));
    // The program may clear a whole group; clicks stay exclusive afterwards.
    dialog.SetChecked(2, false);
    EXPECT_EQ(click({}), std::pair(-1, 1));
    EXPECT_EQ(click({1, 2}), std::pair(1, 1));
}

TEST_F(DialogWindowTest, HandlersSeeUserActionsAndTheProgramChangesThatNotify) {
    dialog.AddCheckBox(1, QStringLiteral("x"), 0, 0, 30, 10);
    dialog.AddEdit(2, 0, 12, 30, 13);
    dialog.AddListBox(3, 40, 0, 60, 60);
    dialog.AddDropDownList(4, 0, 30, 30, 13);
    dialog.AddTrackbar(5, 0, 50, 60, 14, 0, 10);
    std::vector<int> counts(6);  // handler calls by id
    dialog.OnClicked(1, [&] { ++counts[1]; });
    dialog.OnTextChanged(2, [&] { ++counts[2]; });
    dialog.OnValueChanged(5, [&] { ++counts[5]; });
    dialog.OnSelectionChanged(3, [&] { ++counts[3]; });
    dialog.OnSelectionChanged(4, [&] { ++counts[4]; });
    Show();

    dialog.SetChecked(1, true);  // the program's check is no click
    dialog.Control<QCheckBox>(1)->click();
    dialog.SetText(2, QStringLiteral("12"));
    QTest::keyClicks(dialog.Control<QLineEdit>(2), QStringLiteral("3"));
    for (const char* line : {"eins", "zwei", "drei"}) {
        dialog.ListAppend(3, QString::fromLatin1(line));
    }
    dialog.ListInsert(3, 1, QStringLiteral("neu"));
    dialog.ListSetSelection(3, 2);
    dialog.ListDelete(3, 0);
    EXPECT_EQ(std::pair(dialog.ListSelection(3), dialog.ListText(3, 1)),
              std::pair(1, QString("zwei")));
    auto* list = dialog.Control<QListWidget>(3);
    list->doItemsLayout();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(2)).center());
    EXPECT_EQ(dialog.ListSelection(3), 2);  // already in place for the handler
    dialog.ListClear(3);
    EXPECT_EQ(dialog.ListSelection(3), -1);
    dialog.ComboAppend(4, QStringLiteral("E1"));
    dialog.ComboAppend(4, QStringLiteral("E2"));
    dialog.ComboSetSelection(4, 0);
    QTest::keyClick(dialog.Control<QComboBox>(4), Qt::Key_Down);
    EXPECT_EQ(dialog.ComboSelection(4), 1);
    dialog.ComboSetSelection(4, 8);  // out of range: nothing selected
    EXPECT_EQ(dialog.ComboSelection(4), -1);
    dialog.SetSliderValue(5, 4);
    QTest::keyClick(dialog.Control<QSlider>(5), Qt::Key_Right);
    EXPECT_EQ(dialog.SliderValue(5), 5);
    // Clicks, typing, one list click, one combo key; both slider changes.
    EXPECT_EQ(counts, (std::vector<int>{0, 1, 2, 1, 1, 2}));
}

// The programs' own tests find and trigger the entries by id; the menu
// opens behind a separator as a popup, so the event returns at once.
TEST_F(DialogWindowTest, ContextMenuOpensWithoutBlocking) {
    dialog.AddContextMenuEntry(16, QStringLiteral("Inf&o..."), [] {});
    EXPECT_TRUE(dialog.ContextMenu()->actions().front()->isSeparator());
    Show();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            dialog.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&dialog, &event);
    EXPECT_TRUE(dialog.ContextMenu()->isVisible());
    dialog.ContextMenu()->close();
}

// A run end posted from a worker is handled later, on the receiver's thread.
TEST(DialogEvents, RunEndedPostedFromAWorkerIsHandledOnTheReceiversThread) {
    struct Sink : QObject {
        bool event(QEvent* e) override {
            if (e->type() != kRunEndedEvent) {
                return QObject::event(e);
            }
            handledOn.push_back(QThread::currentThread());
            return true;
        }
        std::vector<QThread*> handledOn;
    } sink;
    std::thread([&] { PostDialogEvent(&sink, kRunEndedEvent); }).join();
    EXPECT_TRUE(sink.handledOn.empty());  // nothing runs on the worker
    QCoreApplication::processEvents();
    EXPECT_EQ(sink.handledOn, std::vector<QThread*>{QThread::currentThread()});
}

}  // namespace
}  // namespace kinemo::platform
