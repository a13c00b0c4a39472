// Kinemo's main window with a box that only stops answering mid-run (every
// exchange waits for the read timeout): the run goes on, "NOT-AUS" and
// "Ende" take effect after the exchange in flight, and the window goes on
// serving events while the player waits, also when the run has ended: the
// last all-off words are the player's, never the window's.
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "sequencer/engine/interface_binding.h"
#include "tests/platform/pty_peer.h"
#include "tests/platform/scoped_port_override.h"
#include "tests/sequencer/ui/main_dialog_test_support.h"
#include "tests/sequencer/ui/wait_until.h"

namespace kinemo::ui::testing {
namespace {

using kinemo::testing::Bytes;
using kinemo::testing::PtyPeer;
using kinemo::testing::ScopedPortOverride;

const Bytes kAllOff = {0xC1, 0x00};

// The driver's link, with its exchanges counted, and those made on the window
// thread (the one that builds the link) apart.
class CountingLink : public engine::InterfaceLink {
  public:
    explicit CountingLink(engine::InterfaceLink& line) : line_(line) {}
    std::uint32_t Exchange(std::uint32_t output) override {
        exchanges.fetch_add(1);
        if (std::this_thread::get_id() == windowThread_) {
            windowExchanges.fetch_add(1);
        }
        return line_.Exchange(output);
    }
    bool LinkLost() override { return line_.LinkLost(); }
    void Reopen() override { line_.Reopen(); }

    std::atomic<int> exchanges{0};
    std::atomic<int> windowExchanges{0};

  private:
    engine::InterfaceLink& line_;
    const std::thread::id windowThread_ = std::this_thread::get_id();
};

class SilentBoxWindowTest : public MainDialogFixture {
  protected:
    void SetUp() override {
        box.StartBox(2, {0x00});
        ASSERT_TRUE(engine::ConnectInterface(driverLink, "COM1", nullptr));
        MainDialogFixture::SetUp();
    }
    engine::InterfaceLink& Link() override { return link; }

    PtyPeer box;
    ScopedPortOverride com1{"COM1", box.DevicePath()};
    engine::DriverLink driverLink;
    CountingLink link{driverLink};
};

TEST_F(SilentBoxWindowTest, StopTakesEffectAfterTheExchangeInFlightAndEventsAreServed) {
    for (const int stop : {kIdEmergencyStop, kIdEnd}) {
        SCOPED_TRACE(stop);
        dialog->show();
        box.SetAnswer({0x00});
        Click(PanelIds(0).left);
        for (int m = 0; m < engine::kMotorCount; ++m) {
            if (dialog->IsChecked(PanelIds(m).maxDurationCheck)) {
                Click(PanelIds(m).maxDurationCheck);  // the movement never ends by itself
            }
        }
        const std::size_t before = box.Requests().size();
        Click(kIdRunList);
        ASSERT_TRUE(box.WaitForRequests(before + 20));
        box.SetAnswer({});
        const std::size_t silentFrom = box.Requests().size();
        ASSERT_TRUE(box.WaitForRequests(silentFrom + 1));

        // The run goes on, one unanswered tick after another, and an event
        // queued now is served within the wait of one of them.
        bool served = false;
        std::size_t requestsWhenServed = 0;
        QTimer::singleShot(0, dialog.get(), [&] {
            served = true;
            requestsWhenServed = box.Requests().size();
        });
        ASSERT_TRUE(WaitUntil([&] { return served; }));
        EXPECT_TRUE(dialog->Run().Running());
        EXPECT_LE(requestsWhenServed, silentFrom + 2);

        const std::size_t atStop = box.Requests().size();
        Click(stop);
        ASSERT_TRUE(dialog->Run().WaitUntilIdle(30000));
        // The run is over and its RunEnded queued. An event queued now is
        // served right after it, with no exchange between: the window thread
        // never waits on the silent line.
        const int exchangesAtEnd = link.exchanges.load();
        served = false;
        bool endHandled = false;
        int exchangesWhenServed = -1;
        QTimer::singleShot(0, dialog.get(), [&] {
            served = true;
            endHandled = dialog->IsEnabled(kIdRunList);
            exchangesWhenServed = link.exchanges.load();
        });
        ASSERT_TRUE(WaitUntil([&] { return served; }));
        EXPECT_TRUE(endHandled);
        EXPECT_EQ(exchangesWhenServed, exchangesAtEnd);
        EXPECT_EQ(link.windowExchanges.load(), 0);
        // After the stop: at most the exchange that was in flight, then only
        // all-off (the run's last word and the player's once more).
        const std::vector<Bytes> requests = box.Requests();
        ASSERT_GT(requests.size(), atStop);
        EXPECT_LE(requests.size(), atStop + 3);
        for (std::size_t i = atStop + 1; i < requests.size(); ++i) {
            EXPECT_EQ(requests[i], kAllOff) << i;
        }
        EXPECT_EQ(requests.back(), kAllOff);
        EXPECT_TRUE(messages.Requests().empty());  // a silent box is no lost line
    }
}

}  // namespace
}  // namespace kinemo::ui::testing
