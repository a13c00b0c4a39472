#include "platform/dialog_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>

namespace kinemo::platform {
namespace {

// An icon from a resource path, blank when the picture is missing.
QIcon IconFromResource(const QString& path) {
    if (!QFile::exists(path)) {
        return QIcon();
    }
    return QIcon(path);
}

}  // namespace

QString BitmapPath(int bitmapId) {
    return QStringLiteral(":/kinemo/bitmaps/%1.png").arg(bitmapId);
}

DialogWindow::DialogWindow(const QString& title, int widthUnits, int heightUnits, QWidget* parent)
    : QDialog(parent), font_(DialogFont()), units_(MeasureDialogUnits(font_)) {
    setFont(font_);
    setWindowTitle(title);
    setFixedSize(HorizontalUnitsToPixels(units_, widthUnits),
                 VerticalUnitsToPixels(units_, heightUnits));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

DialogWindow::~DialogWindow() = default;

QRect DialogWindow::Place(int x, int y, int w, int h) const {
    return DialogUnitsToPixels(units_, x, y, w, h);
}

void DialogWindow::Register(QWidget* widget, int id) {
    if (id > 0) {
        widget->setObjectName(QString::number(id));
        controls_[id] = widget;
    }
    widget->show();
}

QLabel* DialogWindow::AddStatic(int id, const QString& text, int x, int y, int w, int h,
                                Qt::Alignment align) {
    auto* label = new QLabel(text, this);
    label->setGeometry(Place(x, y, w, h));
    label->setAlignment(align | Qt::AlignTop);
    Register(label, id);
    return label;
}

QGroupBox* DialogWindow::AddGroupBox(int id, const QString& text, int x, int y, int w, int h) {
    auto* box = new QGroupBox(text, this);
    box->setGeometry(Place(x, y, w, h));
    Register(box, id);
    box->lower();  // a frame only: the controls inside are siblings above it
    return box;
}

QPushButton* DialogWindow::AddPushButton(int id, const QString& text, int x, int y, int w, int h) {
    auto* button = new QPushButton(text, this);
    button->setGeometry(Place(x, y, w, h));
    // Return in an edit must not press whatever button happens to be first.
    button->setAutoDefault(false);
    Register(button, id);
    return button;
}

QPushButton* DialogWindow::AddFlatButton(int id, const QString& text, int x, int y, int w, int h) {
    QPushButton* button = AddPushButton(id, text, x, y, w, h);
    button->setFlat(true);
    return button;
}

QPushButton* DialogWindow::AddBitmapButton(int id, int bitmapId, int x, int y, int w, int h) {
    QPushButton* button = AddPushButton(id, QString(), x, y, w, h);
    SetBitmap(id, bitmapId);
    return button;
}

QCheckBox* DialogWindow::AddCheckBox(int id, const QString& text, int x, int y, int w, int h) {
    auto* box = new QCheckBox(text, this);
    box->setGeometry(Place(x, y, w, h));
    Register(box, id);
    return box;
}

QRadioButton* DialogWindow::AddRadioButton(int id, const QString& text, int x, int y, int w, int h,
                                           bool startsGroup) {
    auto* radio = new QRadioButton(text, this);
    radio->setGeometry(Place(x, y, w, h));
    if (startsGroup || currentRadioGroup_ == nullptr) {
        currentRadioGroup_ = new QButtonGroup(this);
        currentRadioGroup_->setExclusive(true);
    }
    currentRadioGroup_->addButton(radio);
    Register(radio, id);
    return radio;
}

QLineEdit* DialogWindow::AddEdit(int id, int x, int y, int w, int h, int maxLength) {
    auto* edit = new QLineEdit(this);
    edit->setGeometry(Place(x, y, w, h));
    if (maxLength > 0) {
        edit->setMaxLength(maxLength);
    }
    Register(edit, id);
    return edit;
}

QListWidget* DialogWindow::AddListBox(int id, int x, int y, int w, int h) {
    auto* list = new QListWidget(this);
    list->setGeometry(Place(x, y, w, h));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSortingEnabled(false);
    Register(list, id);
    return list;
}

QComboBox* DialogWindow::AddDropDownList(int id, int x, int y, int w, int h) {
    auto* combo = new QComboBox(this);
    combo->setEditable(false);
    // The height in the layout is that of the closed field.
    combo->setGeometry(Place(x, y, w, h));
    Register(combo, id);
    return combo;
}

QSlider* DialogWindow::AddTrackbar(int id, int x, int y, int w, int h, int minimum, int maximum) {
    auto* slider = new QSlider(Qt::Horizontal, this);
    slider->setGeometry(Place(x, y, w, h));
    slider->setTickPosition(QSlider::NoTicks);
    slider->setRange(minimum, maximum);
    Register(slider, id);
    return slider;
}

QWidget* DialogWindow::ControlWidget(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

void DialogWindow::OnClicked(int id, std::function<void()> handler) {
    if (auto* button = Control<QAbstractButton>(id)) {
        connect(button, &QAbstractButton::clicked, this,
                [handler = std::move(handler)] { handler(); });
    }
}

void DialogWindow::OnSelectionChanged(int id, std::function<void()> handler) {
    if (auto* list = Control<QListWidget>(id)) {
        // Emitted once the new selection is in place (the current-row signal
        // comes before it).
        connect(list, &QListWidget::itemSelectionChanged, this,
                [handler = std::move(handler)] { handler(); });
    } else if (auto* combo = Control<QComboBox>(id)) {
        // `activated` is emitted for the user's choices only.
        connect(combo, &QComboBox::activated, this,
                [handler = std::move(handler)](int) { handler(); });
    }
}

void DialogWindow::OnTextChanged(int id, std::function<void()> handler) {
    if (auto* edit = Control<QLineEdit>(id)) {
        connect(edit, &QLineEdit::textChanged, this,
                [handler = std::move(handler)](const QString&) { handler(); });
    }
}

void DialogWindow::OnValueChanged(int id, std::function<void()> handler) {
    if (auto* slider = Control<QSlider>(id)) {
        connect(slider, &QSlider::valueChanged, this,
                [handler = std::move(handler)](int) { handler(); });
    }
}

void DialogWindow::SetEnabled(int id, bool enabled) {
    if (QWidget* widget = ControlWidget(id)) {
        widget->setEnabled(enabled);
    }
}

bool DialogWindow::IsEnabled(int id) const {
    const QWidget* widget = ControlWidget(id);
    return widget != nullptr && widget->isEnabled();
}

void DialogWindow::SetText(int id, const QString& text) {
    QWidget* widget = ControlWidget(id);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        box->setTitle(text);
    }
}

QString DialogWindow::Text(int id) const {
    QWidget* widget = ControlWidget(id);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text();
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return edit->text();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return button->text();
    }
    if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        return box->title();
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        return combo->currentText();
    }
    return {};
}

void DialogWindow::SetChecked(int id, bool checked) {
    auto* button = Control<QAbstractButton>(id);
    if (button == nullptr) {
        return;
    }
    // An exclusive group refuses to uncheck its checked button; a program may
    // still clear a whole group, as when a value fits none of its buttons.
    QButtonGroup* group = button->group();
    const bool wasExclusive = group != nullptr && group->exclusive();
    if (!checked && wasExclusive) {
        group->setExclusive(false);
    }
    button->setChecked(checked);
    if (!checked && wasExclusive) {
        group->setExclusive(true);
    }
}

bool DialogWindow::IsChecked(int id) const {
    const auto* button = Control<QAbstractButton>(id);
    return button != nullptr && button->isChecked();
}

int DialogWindow::CheckedRadio(std::initializer_list<int> ids) const {
    int index = 0;
    for (const int id : ids) {
        if (IsChecked(id)) {
            return index;
        }
        ++index;
    }
    return -1;
}

void DialogWindow::SetBitmap(int id, int bitmapId) {
    if (auto* button = Control<QAbstractButton>(id)) {
        button->setIcon(IconFromResource(BitmapPath(bitmapId)));
        button->setProperty(kBitmapProperty, bitmapId);
    }
}

int DialogWindow::Bitmap(int id) const {
    const auto* button = Control<QAbstractButton>(id);
    return button == nullptr ? 0 : button->property(kBitmapProperty).toInt();
}

void DialogWindow::SetSliderValue(int id, int value) {
    if (auto* slider = Control<QSlider>(id)) {
        slider->setValue(value);
    }
}

int DialogWindow::SliderValue(int id) const {
    const auto* slider = Control<QSlider>(id);
    return slider == nullptr ? 0 : slider->value();
}

int DialogWindow::ListCount(int id) const {
    const auto* list = Control<QListWidget>(id);
    return list == nullptr ? 0 : list->count();
}

int DialogWindow::ListSelection(int id) const {
    const auto* list = Control<QListWidget>(id);
    if (list == nullptr || list->selectedItems().isEmpty()) {
        return -1;
    }
    return list->row(list->selectedItems().front());
}

void DialogWindow::ListSetSelection(int id, int row) {
    if (auto* list = Control<QListWidget>(id)) {
        const QSignalBlocker blocker(list);
        if (row < 0 || row >= list->count()) {
            list->clearSelection();
            return;
        }
        list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    }
}

void DialogWindow::ListAppend(int id, const QString& text) {
    ListInsert(id, -1, text);
}

void DialogWindow::ListInsert(int id, int row, const QString& text) {
    if (auto* list = Control<QListWidget>(id)) {
        const QSignalBlocker blocker(list);
        if (row < 0 || row > list->count()) {
            row = list->count();
        }
        list->insertItem(row, text);
    }
}

void DialogWindow::ListDelete(int id, int row) {
    if (auto* list = Control<QListWidget>(id)) {
        const QSignalBlocker blocker(list);
        if (row >= 0 && row < list->count()) {
            delete list->takeItem(row);
        }
    }
}

void DialogWindow::ListClear(int id) {
    if (auto* list = Control<QListWidget>(id)) {
        const QSignalBlocker blocker(list);
        list->clear();
    }
}

QString DialogWindow::ListText(int id, int row) const {
    const auto* list = Control<QListWidget>(id);
    if (list == nullptr || row < 0 || row >= list->count()) {
        return {};
    }
    return list->item(row)->text();
}

void DialogWindow::ComboAppend(int id, const QString& text) {
    if (auto* combo = Control<QComboBox>(id)) {
        const QSignalBlocker blocker(combo);
        combo->addItem(text);
    }
}

int DialogWindow::ComboSelection(int id) const {
    const auto* combo = Control<QComboBox>(id);
    return combo == nullptr ? -1 : combo->currentIndex();
}

void DialogWindow::ComboSetSelection(int id, int index) {
    if (auto* combo = Control<QComboBox>(id)) {
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    }
}

QAction* DialogWindow::AddContextMenuEntry(int command, const QString& text,
                                           std::function<void()> handler) {
    if (contextMenu_ == nullptr) {
        contextMenu_ = new QMenu(this);
    }
    contextMenu_->addSeparator();
    QAction* action = contextMenu_->addAction(text);
    action->setObjectName(QString::number(command));
    connect(action, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
    return action;
}

void DialogWindow::SetProgramIcon(const QString& resourcePath) {
    setWindowIcon(IconFromResource(resourcePath));
}

void DialogWindow::contextMenuEvent(QContextMenuEvent* event) {
    if (contextMenu_ == nullptr) {
        QDialog::contextMenuEvent(event);
        return;
    }
    // popup, not exec: the dialog's thread never blocks on the menu.
    contextMenu_->popup(event->globalPos());
    event->accept();
}

}  // namespace kinemo::platform
