// The simulated box's window: motors M1-M8 with direction, measured speed
// and carriage position, inputs E1-E16 as buttons, the device path, the tick
// count and the tick rate.
//
// It redraws at most 25 times a second from a snapshot of the box; the
// serial thread never touches it. Input buttons act as push switches (closed
// while held) or, with "fest" ticked, as latched switches; a right click
// holds an input open whatever the model says ("aus"), a second one releases
// it.
//
// Object names, for tests and the screenshot tool:
//   devicePath, tickCount, tickRate, lineState, resetModel,
//   motor<k>Direction, motor<k>Speed, motor<k>Position   (k = 1..8)
//   input<n>, input<n>Latched                            (n = 1..16)
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <array>
#include <memory>

#include "simulator/box_model.h"
#include "simulator/rate_meter.h"
#include "simulator/simulated_box.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace kinemo::simulator {

inline constexpr int kRedrawIntervalMs = 40;

class SimulatorWindow : public QWidget {
    Q_OBJECT

  public:
    explicit SimulatorWindow(SimulatedBox& box, QWidget* parent = nullptr);

    // Reads a snapshot and updates every label (the timer calls it).
    void Refresh();

  private:
    struct MotorRow {
        QLabel* direction = nullptr;
        QLabel* speed = nullptr;
        QProgressBar* position = nullptr;
    };
    struct InputCell {
        QPushButton* button = nullptr;
        QCheckBox* latched = nullptr;
        bool forcedOff = false;
    };

    QWidget* BuildMotors();
    QWidget* BuildInputs();
    void ApplyForce(int number);

    SimulatedBox& box_;
    RateMeter meter_;
    QElapsedTimer clock_;
    QTimer* timer_ = nullptr;
    QLabel* devicePath_ = nullptr;
    QLabel* tickCount_ = nullptr;
    QLabel* tickRate_ = nullptr;
    QLabel* lineState_ = nullptr;
    std::array<MotorRow, kMotorCount> motors_{};
    std::array<InputCell, kInputCount> inputs_{};
};

// Builds the window for `box` (for the program and the screenshot tool).
std::unique_ptr<QWidget> CreateSimulatorWindow(SimulatedBox& box, QWidget* parent = nullptr);

}  // namespace kinemo::simulator
