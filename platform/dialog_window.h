// A dialog laid out in dialog units: controls placed at rectangles given in
// units of the window's font, each known by its numeric id, with handlers
// bound per id. The window and its controls grow with the font: where a text
// needs more room than its rectangle gives at that font, the columns or rows
// after it move on, and the window's size follows from its layout.
//
// Every control's objectName is its id as decimal text, so tests and the
// program find it with Control<T>(id). Notifications follow the behaviour of
// classic dialog controls: button clicks, list and drop-down selection changes
// and slider moves are reported for user actions; edit text changes and slider
// value changes are reported for changes made by the program too. List changes
// made through the List* helpers never notify, just as a program that selects a
// line itself is not told about it.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>

#include "platform/dialog_units.h"

class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QRadioButton;
class QCheckBox;
class QSlider;

namespace kinemo::platform {

// Ids of the standard dialog commands.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// Resource path of a button picture by its bitmap number.
QString BitmapPath(int bitmapId);

// The dynamic property that holds the bitmap number a button shows.
inline constexpr char kBitmapProperty[] = "bitmap";

class DialogWindow : public QDialog {
    Q_OBJECT

  public:
    // A dialog titled `title`, `widthUnits` x `heightUnits` dialog units of
    // client area in its font, more where its texts need it; the user cannot
    // resize it.
    DialogWindow(const QString& title, int widthUnits, int heightUnits, QWidget* parent = nullptr);
    ~DialogWindow() override;

    const DialogUnitBase& Units() const { return units_; }

    // --- Creating controls; x, y, width, height in dialog units. ---
    QLabel* AddStatic(int id, const QString& text, int x, int y, int w, int h,
                      Qt::Alignment align = Qt::AlignLeft);
    QGroupBox* AddGroupBox(int id, const QString& text, int x, int y, int w, int h);
    QPushButton* AddPushButton(int id, const QString& text, int x, int y, int w, int h);
    // A button without a raised frame, showing its text.
    QPushButton* AddFlatButton(int id, const QString& text, int x, int y, int w, int h);
    // A button that shows the picture `bitmapId` instead of text.
    QPushButton* AddBitmapButton(int id, int bitmapId, int x, int y, int w, int h);
    QCheckBox* AddCheckBox(int id, const QString& text, int x, int y, int w, int h);
    // Radio buttons are exclusive within a group; `startsGroup` opens a new
    // group, the following buttons join it.
    QRadioButton* AddRadioButton(int id, const QString& text, int x, int y, int w, int h,
                                 bool startsGroup);
    // maxLength 0 leaves the edit unlimited.
    QLineEdit* AddEdit(int id, int x, int y, int w, int h, int maxLength = 0);
    QListWidget* AddListBox(int id, int x, int y, int w, int h);
    // A drop-down list without an edit field.
    QComboBox* AddDropDownList(int id, int x, int y, int w, int h);
    // A horizontal slider without tick marks.
    QSlider* AddTrackbar(int id, int x, int y, int w, int h, int minimum, int maximum);

    // The control `id` gets room for the widest and tallest of `texts` too, for
    // texts it shows later (status lines), so the window never jumps.
    void ReserveTexts(int id, const QStringList& texts);

    // --- Finding controls. ---
    QWidget* ControlWidget(int id) const;
    template <typename T>
    T* Control(int id) const {
        return qobject_cast<T*>(ControlWidget(id));
    }

    // --- Handlers by id. ---
    void OnClicked(int id, std::function<void()> handler);
    void OnSelectionChanged(int id, std::function<void()> handler);  // user changes only
    void OnTextChanged(int id, std::function<void()> handler);       // user and program
    void OnValueChanged(int id, std::function<void()> handler);      // user and program

    // --- Control state helpers. ---
    void SetEnabled(int id, bool enabled);
    bool IsEnabled(int id) const;
    void SetText(int id, const QString& text);
    QString Text(int id) const;
    void SetChecked(int id, bool checked);  // never notifies
    bool IsChecked(int id) const;
    // The index of the checked radio button among `ids`, -1 if none.
    int CheckedRadio(std::initializer_list<int> ids) const;
    void SetBitmap(int id, int bitmapId);
    int Bitmap(int id) const;
    void SetSliderValue(int id, int value);  // clamps to the range
    int SliderValue(int id) const;

    // List box helpers (never notify the selection handler).
    int ListCount(int id) const;
    int ListSelection(int id) const;  // -1 without selection
    void ListSetSelection(int id, int row);
    void ListAppend(int id, const QString& text);
    void ListInsert(int id, int row, const QString& text);  // row -1 or past the end appends
    void ListDelete(int id, int row);
    void ListClear(int id);
    QString ListText(int id, int row) const;

    // Drop-down list helpers (never notify).
    void ComboAppend(int id, const QString& text);
    int ComboSelection(int id) const;
    void ComboSetSelection(int id, int index);  // an index out of range selects nothing

    // --- Window duties. ---
    // An entry of the background context menu, preceded by a separator. The
    // menu entry's objectName is `command` as decimal text.
    QAction* AddContextMenuEntry(int command, const QString& text, std::function<void()> handler);
    QMenu* ContextMenu() const { return contextMenu_; }
    // Sets the window icon from a resource path; a missing picture leaves it blank.
    void SetProgramIcon(const QString& resourcePath);

  protected:
    // Runs calls that worker threads posted with PostCall.
    bool event(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    class UnitLayout;
    void Place(QWidget* widget, int x, int y, int w, int h);
    void Register(QWidget* widget, int id);

    DialogUnitBase units_;
    UnitLayout* layout_;
    std::map<int, QWidget*> controls_;
    QButtonGroup* currentRadioGroup_ = nullptr;
    QMenu* contextMenu_ = nullptr;
};

}  // namespace kinemo::platform
