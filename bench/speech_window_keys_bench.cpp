// KinemoSpeech's window, keys typed into its input field (run by hand, off
// screen):
//   1. cost of one typed key event, from arrival at the field to the end of
//      the key handler: keys per second the window can take;
//   2. key to wire: from a key event to the first answer of the simulated box
//      (at line timing) whose exchange carries the key's effect, over 1000
//      keys that turn M1 left and right in turn: median and 99th percentile.
//
//   QT_QPA_PLATFORM=offscreen speech_window_keys_bench
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "keyboard/box_link.h"
#include "keyboard/interface_port.h"
#include "keyboard/ui/main_dialog.h"
#include "keyboard/ui/main_dialog_ids.h"
#include "platform/dialog_scripted.h"
#include "simulator/simulated_box.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace kb = kinemo::keyboard;

void Type(QLineEdit* field, char c) {
    const QString text(QLatin1Char{c});
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(field, &press);
}

double Percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    return values[index];
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    kinemo::simulator::SimulatedBox box;
    const std::string device = box.Start();
    if (device.empty()) {
        std::fprintf(stderr, "speech_window_keys_bench: %s\n", box.error().c_str());
        return 1;
    }
    setenv("KINEMO_PORT_COM1", device.c_str(), 1);
    kb::InterfacePort port;
    if (!port.connect(1)) {
        std::fprintf(stderr, "speech_window_keys_bench: no connection to the simulated box\n");
        return 1;
    }
    kb::PortLink link(port);
    kinemo::platform::ScriptedMessageService messages;
    kb::ui::MainDialog main(link, messages);
    main.show();

    // "l" turns M1 left, "r" right; "q" matches nothing.
    kb::KeyboardSettings settings;
    for (const auto& [c, state] :
         {std::pair{'l', kb::kMotorLeft}, std::pair{'r', kb::kMotorRight}}) {
        const int index = settings.keys.Append(static_cast<std::uint8_t>(c));
        settings.keys.SetAction(index, kb::kSetStates);
        settings.keys.SetIncluded(index, 0, true);
        settings.keys.SetValue(index, 0, state);
    }
    main.ApplySettings(settings);
    main.Control<QPushButton>(kb::ui::kIdStart)->click();
    auto* field = main.Control<QLineEdit>(kb::ui::kIdInputField);

    constexpr int kEventKeys = 200000;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < kEventKeys; ++i) {
        Type(field, "lrq"[i % 3]);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("typed key events: %.2f us each, %.0f keys/s\n", seconds * 1e6 / kEventKeys,
                kEventKeys / seconds);

    constexpr int kWireKeys = 1000;
    std::vector<double> delaysMs;
    delaysMs.reserve(kWireKeys);
    for (int i = 0; i < kWireKeys; ++i) {
        const bool left = i % 2 == 0;
        const std::uint16_t wanted = left ? kb::kMotorLeft : kb::kMotorRight;
        const Clock::time_point typed = Clock::now();
        Type(field, left ? 'l' : 'r');
        // M1 at 100 % is on in (almost) every tick: the first exchange that
        // carries the new state is the key's effect on the wire.
        while ((box.Snapshot().outputs & 3u) != wanted) {
            if (Clock::now() - typed > std::chrono::seconds(5)) {
                std::fprintf(stderr, "speech_window_keys_bench: key %d never reached the wire\n",
                             i);
                return 1;
            }
        }
        delaysMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - typed).count());
    }
    std::printf(
        "key to wire over %d keys at line timing: median %.2f ms, p99 %.2f ms, max %.2f ms\n",
        kWireKeys, Percentile(delaysMs, 0.5), Percentile(delaysMs, 0.99),
        Percentile(delaysMs, 1.0));

    main.Control<QPushButton>(kb::ui::kIdEmergencyStop)->click();
    main.Run().WaitUntilIdle(5000);
    box.Stop();
    return 0;
}
