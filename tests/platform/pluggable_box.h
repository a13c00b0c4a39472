// A box on a pseudo-terminal behind a fixed path (a link in a fresh folder,
// mapped to COM1): it can be pulled, as when the USB adapter is unplugged,
// and plugged in again at the same path.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "tests/platform/pty_peer.h"
#include "tests/platform/scoped_port_override.h"
#include "tests/tools/cli_process.h"

namespace kinemo::testing {

class PluggableBox {
  public:
    PluggableBox() : path_(folder_.File("box")), com1_("COM1", path_) {}

    // A new box answering every request of `requestSize` bytes with `answer`.
    PtyPeer& PlugIn(std::size_t requestSize, const Bytes& answer) {
        box_ = std::make_unique<PtyPeer>();
        box_->StartBox(requestSize, answer);
        Point(box_->DevicePath());
        return *box_;
    }
    // The device side sees a hangup; the path then names nothing.
    void Pull() {
        box_->CloseMaster();
        Point(folder_.File("nothing"));
    }
    PtyPeer& Box() { return *box_; }
    // A file beside the box, for the program's settings.
    std::string File(const std::string& name) const { return folder_.File(name); }

  private:
    void Point(const std::string& target) {
        std::remove(path_.c_str());
        ASSERT_EQ(symlink(target.c_str(), path_.c_str()), 0);
    }

    cli::test::TempFolder folder_;
    std::string path_;
    ScopedPortOverride com1_;
    std::unique_ptr<PtyPeer> box_;
};

}  // namespace kinemo::testing
