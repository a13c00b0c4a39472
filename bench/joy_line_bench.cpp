// KinemoJoy at the simulated box's line timing: ticks per second of the
// control thread (the program's controller, above normal priority during the
// run) through the driver library, against the line limit: 320 per second
// with the interface alone (kind 1, three bytes per exchange at 9600 baud)
// and 192 per second with the extension module (kind 2, five bytes). Goal:
// at least 97 % of the limit.
//
// Run by hand: build-*/bench/joy_line_bench [TICKS]
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "joystick/joy_connect.h"
#include "joystick/joy_controller.h"
#include "joystick/joy_settings.h"
#include "joystick/joystick_source.h"
#include "platform/joystick.h"
#include "simulator/simulated_box.h"

namespace {

namespace joy = kinemo::joy;
namespace platform = kinemo::platform;
using Clock = std::chrono::steady_clock;

class SteadyStick : public joy::JoystickSource {
  public:
    SteadyStick() {
        stick_.Attach("Messknueppel", 2, 4, 0);
        device_.Open(stick_.Index());
    }
    joy::ReadResult Read(platform::JoystickPosition& position) override {
        platform::JoystickPosition set;
        set.axes[0] = (++n_ * 977U) % 65536U;
        stick_.Set(set);
        return device_.Read(position) ? joy::ReadResult::kOk : joy::ReadResult::kFailed;
    }

  private:
    platform::VirtualJoystick stick_;
    platform::JoystickDevice device_;
    std::uint32_t n_ = 0;
};

// The driver link, ending the run after a given number of exchanges and
// timing the ticks between the first and the last.
class CountedLink : public joy::InterfaceLink {
  public:
    CountedLink(joy::DriverLink& link, joy::StopFlag& stop, std::uint32_t ticks)
        : link_(link), stop_(stop), remaining_(ticks) {}
    std::uint32_t Exchange(std::uint32_t output) override {
        const std::uint32_t input = link_.Exchange(output);
        if (remaining_ > 0) {
            if (first_) {
                start_ = Clock::now();
                first_ = false;
            }
            if (--remaining_ == 0) {
                end_ = Clock::now();
                stop_.store(1);
            }
        }
        return input;
    }
    double Seconds() const { return std::chrono::duration<double>(end_ - start_).count(); }

  private:
    joy::DriverLink& link_;
    joy::StopFlag& stop_;
    std::uint32_t remaining_;
    bool first_ = true;
    Clock::time_point start_{}, end_{};
};

class Ended : public joy::RunEndedListener {
  public:
    void PostRunEnded(joy::RunOutcome) override { ended.Set(); }
    platform::ManualResetEvent ended;
};

double Measure(bool extension, std::uint32_t ticks) {
    kinemo::simulator::SimulatedBox box;
    const std::string device = box.Start();
    if (device.empty()) {
        std::fprintf(stderr, "joy_line_bench: %s\n", box.error().c_str());
        return 0.0;
    }
    ::setenv("KINEMO_PORT_COM1", device.c_str(), 1);
    joy::JoySettings settings;
    joy::TakeJoystickCaps(settings, {"", 2, 4, false, 0});
    settings.portNumber = 1;
    joy::SetExtensionModule(settings, extension);
    joy::ResetSettings(settings);
    joy::DriverLink driver;
    if (!joy::ConnectInterface(driver, settings, nullptr)) {
        std::fprintf(stderr, "joy_line_bench: no connection\n");
        return 0.0;
    }
    SteadyStick stick;
    Ended ended;
    double seconds = 0.0;
    {
        // The stop flag lives in the controller; the counting link needs it.
        joy::StopFlag* stop = nullptr;
        struct Forward : joy::InterfaceLink {
            joy::InterfaceLink* to = nullptr;
            std::uint32_t Exchange(std::uint32_t output) override { return to->Exchange(output); }
        } forward;
        joy::JoyController controller(forward, stick, ended);
        stop = &controller.StopRequested();
        CountedLink counted(driver, *stop, ticks);
        forward.to = &counted;
        joy::PublishAll(controller.Live(), settings);
        controller.Start();
        ended.ended.Wait();
        controller.OnRunEnded();
        controller.StopAndWait();
        seconds = counted.Seconds();
    }
    driver.Close();
    ::unsetenv("KINEMO_PORT_COM1");
    return seconds > 0.0 ? (ticks - 1) / seconds : 0.0;
}

}  // namespace

int main(int argc, char** argv) {
    const long ticks = argc > 1 ? std::atol(argv[1]) : 3200;
    platform::JoystickSystem system;
    if (!system.Ok() || ticks < 10) {
        std::fprintf(stderr, "joy_line_bench: no joystick subsystem\n");
        return 1;
    }
    struct Line {
        const char* what;
        bool extension;
        double limit;
    };
    for (const Line line : {Line{"kind 1 (interface)", false, 1e6 / 3125.0},
                            Line{"kind 2 (extension module)", true, 1e6 / 5208.0}}) {
        const double rate = Measure(line.extension, static_cast<std::uint32_t>(ticks));
        std::printf("%s: %.1f ticks/s of %.1f (%.1f %%), goal 97 %%: %s\n", line.what, rate,
                    line.limit, 100.0 * rate / line.limit,
                    rate >= 0.97 * line.limit ? "met" : "NOT met");
    }
    return 0;
}
