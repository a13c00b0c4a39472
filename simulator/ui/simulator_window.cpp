#include "simulator/ui/simulator_window.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace kinemo::simulator {

namespace {

QString DirectionText(std::uint8_t state) {
    switch (state) {
        case 1:
            return QStringLiteral("Links");
        case 2:
            return QStringLiteral("Rechts");
        case 0:
            return QStringLiteral("Aus");
        default:
            return QStringLiteral("Ungültig");
    }
}

QLabel* NamedLabel(const QString& name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

// Active inputs are shown green, inputs held open by the user grey.
constexpr char kInputStyle[] =
    "QPushButton[active=\"true\"] { background-color: #5cb85c; color: white; }"
    "QPushButton[forcedOff=\"true\"] { color: #888888; text-decoration: line-through; }";

}  // namespace

SimulatorWindow::SimulatorWindow(SimulatedBox& box, QWidget* parent) : QWidget(parent), box_(box) {
    setObjectName(QStringLiteral("simulatorWindow"));
    setWindowTitle(QStringLiteral("Kinemo Interface-Simulator"));
    setStyleSheet(QString::fromLatin1(kInputStyle));

    auto* header = new QGridLayout;
    header->addWidget(new QLabel(QStringLiteral("Schnittstelle:"), this), 0, 0);
    devicePath_ =
        NamedLabel(QStringLiteral("devicePath"), QString::fromStdString(box_.devicePath()), this);
    devicePath_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    header->addWidget(devicePath_, 0, 1);
    lineState_ = NamedLabel(QStringLiteral("lineState"), QString(), this);
    header->addWidget(lineState_, 0, 2);
    header->addWidget(new QLabel(QStringLiteral("Takte:"), this), 1, 0);
    tickCount_ = NamedLabel(QStringLiteral("tickCount"), QStringLiteral("0"), this);
    header->addWidget(tickCount_, 1, 1);
    header->addWidget(new QLabel(QStringLiteral("Taktrate:"), this), 2, 0);
    tickRate_ = NamedLabel(QStringLiteral("tickRate"), QStringLiteral("0 / s"), this);
    header->addWidget(tickRate_, 2, 1);
    auto* reset = new QPushButton(QStringLiteral("Schlitten zurücksetzen"), this);
    reset->setObjectName(QStringLiteral("resetModel"));
    connect(reset, &QPushButton::clicked, this, [this] { box_.RequestModelReset(); });
    header->addWidget(reset, 2, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(BuildMotors());
    layout->addWidget(BuildInputs());

    clock_.start();
    timer_ = new QTimer(this);
    timer_->setInterval(kRedrawIntervalMs);
    connect(timer_, &QTimer::timeout, this, &SimulatorWindow::Refresh);
    timer_->start();
    Refresh();
}

QWidget* SimulatorWindow::BuildMotors() {
    auto* group = new QGroupBox(QStringLiteral("Motoren"), this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("Richtung"), group), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Geschw."), group), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Position"), group), 0, 3);
    for (int k = 0; k < kMotorCount; ++k) {
        const QString prefix = QStringLiteral("motor%1").arg(k + 1);
        MotorRow& row = motors_[static_cast<std::size_t>(k)];
        grid->addWidget(new QLabel(QStringLiteral("M%1").arg(k + 1), group), k + 1, 0);
        row.direction = NamedLabel(prefix + QStringLiteral("Direction"), DirectionText(0), group);
        row.speed = NamedLabel(prefix + QStringLiteral("Speed"), QStringLiteral("0 %"), group);
        row.position = new QProgressBar(group);
        row.position->setObjectName(prefix + QStringLiteral("Position"));
        row.position->setRange(0, kTravelSteps);
        row.position->setValue(kStartPosition);
        row.position->setFormat(QStringLiteral("%v"));
        grid->addWidget(row.direction, k + 1, 1);
        grid->addWidget(row.speed, k + 1, 2);
        grid->addWidget(row.position, k + 1, 3);
    }
    grid->setColumnStretch(3, 1);
    return group;
}

QWidget* SimulatorWindow::BuildInputs() {
    auto* group = new QGroupBox(QStringLiteral("Eingänge"), this);
    auto* grid = new QGridLayout(group);
    for (int n = 1; n <= kInputCount; ++n) {
        InputCell& cell = inputs_[static_cast<std::size_t>(n - 1)];
        cell.button = new QPushButton(QStringLiteral("E%1").arg(n), group);
        cell.button->setObjectName(QStringLiteral("input%1").arg(n));
        cell.button->setContextMenuPolicy(Qt::CustomContextMenu);
        cell.latched = new QCheckBox(QStringLiteral("fest"), group);
        cell.latched->setObjectName(QStringLiteral("input%1Latched").arg(n));
        connect(cell.button, &QPushButton::pressed, this, [this, n] { ApplyForce(n); });
        connect(cell.button, &QPushButton::released, this, [this, n] { ApplyForce(n); });
        connect(cell.button, &QPushButton::toggled, this, [this, n] { ApplyForce(n); });
        connect(cell.button, &QWidget::customContextMenuRequested, this, [this, n] {
            InputCell& c = inputs_[static_cast<std::size_t>(n - 1)];
            c.forcedOff = !c.forcedOff;
            ApplyForce(n);
        });
        connect(cell.latched, &QCheckBox::toggled, this, [this, n](bool latched) {
            InputCell& c = inputs_[static_cast<std::size_t>(n - 1)];
            if (!latched) {
                c.button->setChecked(false);
            }
            c.button->setCheckable(latched);
            ApplyForce(n);
        });
        // Two rows of eight, E1-E8 (box) above E9-E16 (extension module).
        const int row = (n - 1) / 8 * 2;
        const int column = (n - 1) % 8;
        grid->addWidget(cell.button, row, column);
        grid->addWidget(cell.latched, row + 1, column);
    }
    return group;
}

void SimulatorWindow::ApplyForce(int number) {
    InputCell& cell = inputs_[static_cast<std::size_t>(number - 1)];
    const bool closed =
        cell.button->isCheckable() ? cell.button->isChecked() : cell.button->isDown();
    InputForce force = InputForce::kModel;
    if (closed) {
        force = InputForce::kOn;
    } else if (cell.forcedOff) {
        force = InputForce::kOff;
    }
    box_.ForceInput(number, force);
    cell.button->setProperty("forcedOff", force == InputForce::kOff);
    cell.button->style()->unpolish(cell.button);
    cell.button->style()->polish(cell.button);
}

void SimulatorWindow::Refresh() {
    const BoxSnapshot s = box_.Snapshot();
    meter_.Add(s, clock_.nsecsElapsed() / 1000);

    tickCount_->setText(QString::number(s.ticks));
    tickRate_->setText(QStringLiteral("%1 / s").arg(meter_.TickRate(), 0, 'f', 0));
    lineState_->setText(s.lineOpen != 0 ? QStringLiteral("Leitung offen")
                                        : QStringLiteral("Leitung geschlossen"));
    for (int k = 0; k < kMotorCount; ++k) {
        const MotorSnapshot& m = s.motors[static_cast<std::size_t>(k)];
        MotorRow& row = motors_[static_cast<std::size_t>(k)];
        row.direction->setText(DirectionText(m.state));
        row.speed->setText(QStringLiteral("%1 %").arg(meter_.MotorSpeedPercent(k), 0, 'f', 0));
        row.position->setValue(m.position);
    }
    const std::uint16_t present = s.PresentInputs();
    for (int n = 1; n <= kInputCount; ++n) {
        QPushButton* button = inputs_[static_cast<std::size_t>(n - 1)].button;
        const bool active = ((present >> (n - 1)) & 1u) != 0;
        if (button->property("active").toBool() != active) {
            button->setProperty("active", active);
            button->style()->unpolish(button);
            button->style()->polish(button);
        }
    }
}

std::unique_ptr<QWidget> CreateSimulatorWindow(SimulatedBox& box, QWidget* parent) {
    return std::make_unique<SimulatorWindow>(box, parent);
}

}  // namespace kinemo::simulator
