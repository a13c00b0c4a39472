// A box on a pseudo-terminal behind a fixed path (a link in a fresh folder,
// mapped to COM1): it can be pulled, as when the USB adapter is unplugged,
// and plugged in again at the same path. For window tests: the waits serve
// Qt events.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QObject>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/platform/pty_peer.h"
#include "tests/platform/scoped_port_override.h"
#include "tests/sequencer/ui/wait_until.h"
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
    // Waits until the box has seen `word` as the newest of at least `more`
    // requests beyond those it had.
    bool WaitForWord(const Bytes& word, std::size_t more = 5) {
        const std::size_t before = box_->Requests().size();
        return ui::testing::WaitUntil([&] {
            const std::vector<Bytes> requests = box_->Requests();
            return requests.size() >= before + more && requests.back() == word;
        });
    }
    // The box stops answering, so every exchange waits for the read timeout;
    // an event posted to `window` meanwhile is served within one unanswered
    // exchange. Returns the number of requests seen so far.
    std::size_t GoSilentAndExpectEventsServed(QObject& window) {
        box_->SetAnswer({});
        const std::size_t silentFrom = box_->Requests().size();
        EXPECT_TRUE(box_->WaitForRequests(silentFrom + 1));
        bool served = false;
        std::size_t whenServed = 0;
        QTimer::singleShot(0, &window, [&] {
            served = true;
            whenServed = box_->Requests().size();
        });
        EXPECT_TRUE(ui::testing::WaitUntil([&] { return served; }));
        EXPECT_LE(whenServed, silentFrom + 2);
        return box_->Requests().size();
    }
    // After a stop given when the box had seen `atStop` requests: at most the
    // exchange in flight and the final all-off followed.
    void ExpectStoppedAfterTheExchangeInFlight(std::size_t atStop) {
        const std::vector<Bytes> requests = box_->Requests();
        EXPECT_LE(requests.size(), atStop + 2);
        EXPECT_EQ(requests.back(), (Bytes{0xC1, 0x00}));
    }
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
