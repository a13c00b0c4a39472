#include "sequencer/ui/live_panel.h"

#include <QLabel>
#include <QTimer>
#include <QVariant>
#include <algorithm>

#include "sequencer/ui/movement_list_names.h"

namespace kinemo::ui {
namespace {

// Ticks per second are measured over at least this long, so the figure is steady.
constexpr qint64 kRateWindowMs = 500;

const QString kLampOn =
    QStringLiteral("background: #e03020; color: white; border: 1px solid gray;");
const QString kLampOff =
    QStringLiteral("background: #f0f0f0; color: gray; border: 1px solid gray;");

}  // namespace

LivePanel::LivePanel(QWidget& owner, const platform::DialogUnitBase& units, engine::RunControl& run,
                     int topUnits, int widthUnits)
    : QWidget(&owner), units_(units), run_(run) {
    setGeometry(
        platform::DialogUnitsToPixels(units, 0, topUnits, widthUnits, kLivePanelHeightUnits));
    for (int i = 0; i < 8; ++i) {
        lamps_[i] = Label(QStringLiteral("liveE%1").arg(i + 1), QStringLiteral("E%1").arg(i + 1),
                          5 + i * 15, 2, 13);
        lamps_[i]->setAlignment(Qt::AlignCenter);
    }
    movement_ = Label(QStringLiteral("liveMovement"), QStringLiteral("Bewegung: -"), 130, 2, 150);
    ticks_ = Label(QStringLiteral("liveTicks"), QStringLiteral("Ticks: 0"), 285, 2, 80);
    rate_ = Label(QStringLiteral("liveRate"), QStringLiteral("- Ticks/s"), 370, 2, 86);
    for (int m = 0; m < engine::kMotorCount; ++m) {
        impulses_[m] = Label(QStringLiteral("liveImpulses%1").arg(m + 1),
                             QStringLiteral("M%1: 0").arg(m + 1), 5 + m * 113, 14, 110);
    }
    clock_.start();
    timer_ = new QTimer(this);
    timer_->setInterval(kLiveRedrawIntervalMs);
    connect(timer_, &QTimer::timeout, this, &LivePanel::Refresh);
    timer_->start();
    Refresh();
}

QLabel* LivePanel::Label(const QString& name, const QString& text, int x, int y, int w) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setGeometry(platform::DialogUnitsToPixels(units_, x, y, w, 10));
    return label;
}

void LivePanel::Refresh() {
    const engine::LiveRunState state = run_.Live().Read();
    for (int i = 0; i < 8; ++i) {
        const bool on = ((state.inputs >> i) & 1U) != 0;
        if (lamps_[i]->property("on").toBool() != on || lamps_[i]->styleSheet().isEmpty()) {
            lamps_[i]->setProperty("on", on);
            lamps_[i]->setStyleSheet(on ? kLampOn : kLampOff);
        }
    }
    if (state.run == 0) {
        return;  // no run yet: the texts of the start stay
    }
    const int index = run_.LastRun().first + static_cast<int>(state.row);
    const engine::MovementList& list = run_.Movements();
    const QString name = index >= 0 && index < engine::kMovementSlots
                             ? RecordNameText(list.records[static_cast<std::size_t>(index)])
                             : QString();
    movement_->setText(QStringLiteral("Bewegung %1: %2").arg(index).arg(name));
    ticks_->setText(QStringLiteral("Ticks: %1").arg(state.ticks));
    for (int m = 0; m < engine::kMotorCount; ++m) {
        QString text = QStringLiteral("M%1: %2").arg(m + 1).arg(state.impulses[m]);
        if (state.impulseInputs[m] != 0) {
            text += QStringLiteral(" / %1 Impulse an E%2")
                        .arg(std::max<std::uint32_t>(state.impulseLimits[m], 1))
                        .arg(state.impulseInputs[m]);
        }
        impulses_[m]->setText(text);
    }
    // The rate over the last half second of a run; after it, the last figure stays.
    const qint64 now = clock_.elapsed();
    if (state.run != rateRun_) {
        rateRun_ = state.run;
        rateTicks_ = 0;
        rateMs_ = now;
    } else if (state.running && now - rateMs_ >= kRateWindowMs) {
        const double perSecond = static_cast<double>(state.ticks - rateTicks_) * 1000.0 /
                                 static_cast<double>(now - rateMs_);
        rate_->setText(QStringLiteral("%1 Ticks/s").arg(static_cast<int>(perSecond + 0.5)));
        rateTicks_ = state.ticks;
        rateMs_ = now;
    }
}

}  // namespace kinemo::ui
