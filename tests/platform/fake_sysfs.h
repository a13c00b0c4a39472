// A fake sysfs tree and /dev for the tests of the device kinds and latency
// timers: a device node is a plain file (only its name counts), and sysfs
// describes it the way the kernel does.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/tools/cli_process.h"

namespace kinemo::platform::testing {

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fake sysfs root and a fake /dev beside it.
class FakeTree {
  public:
    std::string Root() const { return folder_.File("sys"); }
    std::string Dev(const std::string& name) const { return folder_.File("dev/" + name); }

    // A device node (a plain file will do: only its name counts).
    std::string Node(const std::string& name) {
        std::filesystem::create_directories(folder_.File("dev"));
        std::ofstream(Dev(name)).put('\0');
        return Dev(name);
    }
    // ROOT/class/tty/NAME/device -> ROOT/devices/BUSPATH/NAME, with a
    // latency_timer holding `timer` unless it is empty.
    std::string Tty(const std::string& name, const std::string& busPath,
                    const std::string& timer = "") {
        const std::string device = Root() + "/devices/" + busPath + "/" + name;
        std::filesystem::create_directories(device);
        std::filesystem::create_directories(Root() + "/class/tty/" + name);
        std::filesystem::create_symlink(device, Root() + "/class/tty/" + name + "/device");
        if (!timer.empty()) {
            std::ofstream(device + "/latency_timer") << timer;
        }
        return device + "/latency_timer";
    }
    // An adapter on the first USB bus.
    std::string Usb(const std::string& name, const std::string& timer) {
        return Tty(name, "pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0", timer);
    }

  private:
    cli::test::TempFolder folder_;
};

}  // namespace kinemo::platform::testing
