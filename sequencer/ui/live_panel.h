// The run as it happens, in a strip at the foot of the main window: lamps for
// E1 to E8, the movement being played, the tick count, ticks per second and
// each motor's impulses against its limit. Redrawn at most 25 times a second
// from the snapshot the player publishes; nothing in the player waits for it,
// and between runs the last values stay.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <array>
#include <cstdint>

#include "platform/dialog_units.h"
#include "sequencer/engine/run_control.h"

class QLabel;
class QTimer;

namespace kinemo::ui {

inline constexpr int kLivePanelHeightUnits = 26;
inline constexpr int kLiveRedrawIntervalMs = 40;

class LivePanel : public QWidget {
    Q_OBJECT

  public:
    // Placed at y = `topUnits` across the whole width of `owner`.
    LivePanel(QWidget& owner, const platform::DialogUnitBase& units, engine::RunControl& run,
              int topUnits, int widthUnits);

    // Reads the latest snapshot and updates the texts (the timer calls it).
    void Refresh();

  private:
    QLabel* Label(const QString& name, const QString& text, int x, int y, int w);

    const platform::DialogUnitBase& units_;
    engine::RunControl& run_;
    std::array<QLabel*, 8> lamps_{};
    std::array<QLabel*, engine::kMotorCount> impulses_{};
    QLabel* movement_ = nullptr;
    QLabel* ticks_ = nullptr;
    QLabel* rate_ = nullptr;
    QTimer* timer_ = nullptr;
    QElapsedTimer clock_;
    // The tick count and time of the last rate measurement.
    std::uint64_t rateTicks_ = 0;
    std::uint32_t rateRun_ = 0;
    qint64 rateMs_ = 0;
};

}  // namespace kinemo::ui
