#include "platform/dialog_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFile>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>
#include <memory>
#include <vector>

#include "platform/dialog_events.h"

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

namespace {

QSize TextExtent(const QFontMetrics& metrics, QString text) {
    text.remove(QLatin1Char('&'));  // mnemonic marks take no room
    while (text.endsWith(QLatin1Char('\n'))) {
        text.chop(1);  // a trailing line break of a one-line field
    }
    return text.isEmpty() ? QSize() : metrics.size(Qt::TextExpandTabs, text);
}

QSize NeededControlSize(const QWidget& widget, const QStringList& reservedTexts) {
    const QFontMetrics metrics = widget.fontMetrics();
    QSize text;
    QStringList texts = reservedTexts;
    QSize frame;  // room the control takes around its text
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        if (!label->pixmap().isNull()) {
            return label->pixmap().deviceIndependentSize().toSize();
        }
        if (label->wordWrap()) {
            return QSize();  // its height follows from the width it gets
        }
        texts << label->text();
        const int edges = 2 * (label->frameWidth() + label->margin());
        frame = QSize(edges, edges);
    } else if (const auto* push = qobject_cast<const QPushButton*>(&widget)) {
        if (push->text().isEmpty()) {
            return QSize();  // a picture button keeps its designed size
        }
        texts << push->text();
        // The style keeps the frame (and a default button's indicator) clear
        // of the text, and a margin beside it.
        const QStyle* style = widget.style();
        const int edge = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &widget) +
                         style->pixelMetric(QStyle::PM_ButtonDefaultIndicator, nullptr, &widget);
        const int margin = style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &widget);
        frame = QSize(2 * (edge + margin), 2 * edge);
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
        // Check boxes and radio buttons: the style knows indicator and spacing
        // beside the text; in height the text or the indicator, whichever is taller.
        const bool radio = qobject_cast<const QRadioButton*>(button) != nullptr;
        const int indicator = widget.style()->pixelMetric(
            radio ? QStyle::PM_ExclusiveIndicatorHeight : QStyle::PM_IndicatorHeight, nullptr,
            &widget);
        const QSize own = TextExtent(metrics, button->text());
        int width = button->sizeHint().width();
        for (const QString& reserved : reservedTexts) {
            width = std::max(width, width - own.width() + TextExtent(metrics, reserved).width());
        }
        return QSize(width, std::max(own.height(), indicator));
    } else if (const auto* box = qobject_cast<const QGroupBox*>(&widget)) {
        // The title sits between the frame's rounded corners.
        return QSize(TextExtent(metrics, box->title()).width() + 2 * metrics.height(), 0);
    } else {
        return QSize();  // edits, lists, sliders and drop-downs keep their designed size
    }
    for (const QString& each : texts) {
        text = text.expandedTo(TextExtent(metrics, each));
    }
    return text.isEmpty() ? QSize() : text + frame;
}

}  // namespace

// Places every control at its rectangle in dialog units, converted with the
// window's current font. Where a control's text needs more room than that, the
// column (or row) boundary at its right (or bottom) edge and every boundary
// after it move by the missing pixels, so the controls beyond keep their
// order and proportions and the window grows with them. The window's size is
// the size the layout gives its designed client area.
class DialogWindow::UnitLayout : public QLayout {
  public:
    UnitLayout(DialogWindow* window, int widthUnits, int heightUnits)
        : QLayout(window), window_(window), size_(widthUnits, heightUnits) {
        setContentsMargins(0, 0, 0, 0);
        setSizeConstraint(QLayout::SetFixedSize);
    }
    ~UnitLayout() override {
        for (Entry& entry : entries_) {
            delete entry.item;
        }
    }

    void AddControl(QWidget* widget, const QRect& units) {
        addChildWidget(widget);
        entries_.push_back({new QWidgetItem(widget), units, {}, true});
        invalidate();
    }
    void Reserve(QWidget* widget, const QStringList& texts) {
        for (Entry& entry : entries_) {
            if (entry.item->widget() == widget) {
                entry.reserved = texts;
            }
        }
        invalidate();
    }

    void addItem(QLayoutItem* item) override {
        entries_.push_back({item, QRect(), {}, false});  // not placed by dialog units
    }
    int count() const override { return static_cast<int>(entries_.size()); }
    QLayoutItem* itemAt(int index) const override {
        return index >= 0 && index < count() ? entries_[index].item : nullptr;
    }
    QLayoutItem* takeAt(int index) override {
        if (index < 0 || index >= count()) {
            return nullptr;
        }
        QLayoutItem* item = entries_[index].item;
        entries_.erase(entries_.begin() + index);
        invalidate();
        return item;
    }
    void invalidate() override {
        placed_ = false;
        QLayout::invalidate();
    }
    QSize sizeHint() const override { return Placement().size; }
    QSize minimumSize() const override { return Placement().size; }
    Qt::Orientations expandingDirections() const override { return {}; }

    void setGeometry(const QRect& rect) override {
        QLayout::setGeometry(rect);
        const Grid& grid = Placement();
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            // Straight to the widget: its rectangle is the design, whatever
            // its size policy would make of it.
            if (entries_[i].byUnits) {
                entries_[i].item->widget()->setGeometry(grid.rects[i].translated(rect.topLeft()));
            }
        }
    }

  private:
    struct Entry {
        QLayoutItem* item;
        QRect units;
        QStringList reserved;
        bool byUnits;
    };
    struct Grid {
        std::vector<QRect> rects;
        QSize size;
    };

    // Boundaries in dialog units and their pixel positions along one axis.
    struct Axis {
        std::vector<int> units;
        std::vector<int> pixels;
        int IndexOf(int unit) const {
            return static_cast<int>(std::lower_bound(units.begin(), units.end(), unit) -
                                    units.begin());
        }
        // Grows the span first..last to `needed` pixels where it is shorter.
        void Grow(int first, int last, int needed) {
            const int missing = needed - (pixels[last] - pixels[first]);
            if (missing > 0) {
                for (std::size_t k = last; k < pixels.size(); ++k) {
                    pixels[k] += missing;
                }
            }
        }
    };

    Axis MakeAxis(bool horizontal, const DialogUnitBase& base) const {
        Axis axis;
        axis.units = {0, horizontal ? size_.width() : size_.height()};
        for (const Entry& entry : entries_) {
            if (entry.byUnits) {
                const QRect& r = entry.units;
                axis.units.push_back(horizontal ? r.x() : r.y());
                axis.units.push_back(horizontal ? r.x() + r.width() : r.y() + r.height());
            }
        }
        std::sort(axis.units.begin(), axis.units.end());
        axis.units.erase(std::unique(axis.units.begin(), axis.units.end()), axis.units.end());
        for (int unit : axis.units) {
            axis.pixels.push_back(horizontal ? HorizontalUnitsToPixels(base, unit)
                                             : VerticalUnitsToPixels(base, unit));
        }
        return axis;
    }

    // Grows the boundaries so that every control gets what it needs, taking the
    // controls by their far edge: a boundary only ever moves on, so a control
    // once satisfied stays so.
    void Fit(Axis& axis, bool horizontal, const std::vector<QSize>& needs,
             const std::vector<QRect>* placedAcross) {
        std::vector<std::size_t> order;
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (entries_[i].byUnits) {
                order.push_back(i);
            }
        }
        const auto farEdge = [&](std::size_t i) {
            const QRect& r = entries_[i].units;
            return horizontal ? r.x() + r.width() : r.y() + r.height();
        };
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return farEdge(a) < farEdge(b); });
        for (std::size_t i : order) {
            const QRect& r = entries_[i].units;
            int needed = horizontal ? needs[i].width() : needs[i].height();
            if (!horizontal && placedAcross != nullptr) {
                // A wrapping text needs the height of its lines at its final width.
                if (const auto* label = qobject_cast<const QLabel*>(entries_[i].item->widget());
                    label != nullptr && label->wordWrap() && label->pixmap().isNull()) {
                    needed = label->heightForWidth((*placedAcross)[i].width());
                }
            }
            axis.Grow(axis.IndexOf(horizontal ? r.x() : r.y()), axis.IndexOf(farEdge(i)), needed);
        }
    }

    const Grid& Placement() const {
        if (placed_) {
            return grid_;
        }
        auto* self = const_cast<UnitLayout*>(this);
        const DialogUnitBase base = MeasureDialogUnits(window_->font());
        std::vector<QSize> needs;
        for (const Entry& entry : entries_) {
            QWidget* widget = entry.item->widget();
            needs.push_back(widget != nullptr && entry.byUnits
                                ? NeededControlSize(*widget, entry.reserved)
                                : QSize());
        }
        Axis xs = self->MakeAxis(true, base);
        self->Fit(xs, true, needs, nullptr);
        std::vector<QRect> across(entries_.size());
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            const QRect& r = entries_[i].units;
            if (entries_[i].byUnits) {
                const int left = xs.pixels[xs.IndexOf(r.x())];
                across[i] = QRect(left, 0, xs.pixels[xs.IndexOf(r.x() + r.width())] - left, 1);
            }
        }
        Axis ys = self->MakeAxis(false, base);
        self->Fit(ys, false, needs, &across);
        grid_.rects.assign(entries_.size(), QRect());
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            const QRect& r = entries_[i].units;
            if (entries_[i].byUnits) {
                const int top = ys.pixels[ys.IndexOf(r.y())];
                const int bottom = ys.pixels[ys.IndexOf(r.y() + r.height())];
                grid_.rects[i] = QRect(across[i].x(), top, across[i].width(), bottom - top);
            }
        }
        grid_.size =
            QSize(xs.pixels[xs.IndexOf(size_.width())], ys.pixels[ys.IndexOf(size_.height())]);
        placed_ = true;
        return grid_;
    }

    DialogWindow* window_;
    QSize size_;
    std::vector<Entry> entries_;
    mutable Grid grid_;
    mutable bool placed_ = false;
};

DialogWindow::DialogWindow(const QString& title, int widthUnits, int heightUnits, QWidget* parent)
    : QDialog(parent),
      units_(MeasureDialogUnits(font())),
      layout_(new UnitLayout(this, widthUnits, heightUnits)) {
    setWindowTitle(title);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

DialogWindow::~DialogWindow() = default;

bool DialogWindow::event(QEvent* event) {
    return RunPostedCall(event) || QDialog::event(event);
}

void DialogWindow::Place(QWidget* widget, int x, int y, int w, int h) {
    layout_->AddControl(widget, QRect(x, y, w, h));
}

void DialogWindow::ReserveTexts(int id, const QStringList& texts) {
    if (QWidget* widget = ControlWidget(id)) {
        layout_->Reserve(widget, texts);
    }
}

void DialogWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        units_ = MeasureDialogUnits(font());
        layout_->invalidate();
    }
    QDialog::changeEvent(event);
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
    Place(label, x, y, w, h);
    label->setAlignment(align | Qt::AlignTop);
    Register(label, id);
    return label;
}

QGroupBox* DialogWindow::AddGroupBox(int id, const QString& text, int x, int y, int w, int h) {
    auto* box = new QGroupBox(text, this);
    Place(box, x, y, w, h);
    Register(box, id);
    box->lower();  // a frame only: the controls inside are siblings above it
    return box;
}

QPushButton* DialogWindow::AddPushButton(int id, const QString& text, int x, int y, int w, int h) {
    auto* button = new QPushButton(text, this);
    Place(button, x, y, w, h);
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
    Place(box, x, y, w, h);
    Register(box, id);
    return box;
}

QRadioButton* DialogWindow::AddRadioButton(int id, const QString& text, int x, int y, int w, int h,
                                           bool startsGroup) {
    auto* radio = new QRadioButton(text, this);
    Place(radio, x, y, w, h);
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
    Place(edit, x, y, w, h);
    if (maxLength > 0) {
        edit->setMaxLength(maxLength);
    }
    Register(edit, id);
    return edit;
}

QListWidget* DialogWindow::AddListBox(int id, int x, int y, int w, int h) {
    auto* list = new QListWidget(this);
    Place(list, x, y, w, h);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSortingEnabled(false);
    Register(list, id);
    return list;
}

QComboBox* DialogWindow::AddDropDownList(int id, int x, int y, int w, int h) {
    auto* combo = new QComboBox(this);
    combo->setEditable(false);
    // The height in the layout is that of the closed field.
    Place(combo, x, y, w, h);
    Register(combo, id);
    return combo;
}

QSlider* DialogWindow::AddTrackbar(int id, int x, int y, int w, int h, int minimum, int maximum) {
    auto* slider = new QSlider(Qt::Horizontal, this);
    Place(slider, x, y, w, h);
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
