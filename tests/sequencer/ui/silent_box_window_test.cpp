// The main window with a box that only stops answering mid-run (every
// exchange waits for the read timeout): the run goes on, "NOT-AUS" and "Ende"
// take effect after the exchange in flight, and the window goes on serving
// events while the player waits, also after the run: the last all-off words
// are the player's, never the window's.
#include <QTimer>
#include <optional>
#include <thread>

#include "sequencer/engine/interface_binding.h"
#include "tests/platform/pty_peer.h"
#include "tests/platform/scoped_port_override.h"
#include "tests/sequencer/ui/main_dialog_test_support.h"

namespace kinemo::ui::testing {
namespace {

using kinemo::testing::Bytes;

// The driver's link, with its exchanges counted, and those made on the window
// thread (the one that builds the link) apart.
struct CountingLink : engine::InterfaceLink {
    explicit CountingLink(engine::InterfaceLink& driver) : line(driver) {}
    std::uint32_t Exchange(std::uint32_t output) override {
        exchanges.fetch_add(1);
        windowExchanges.fetch_add(std::this_thread::get_id() == windowThread ? 1 : 0);
        return line.Exchange(output);
    }
    bool LinkLost() override { return line.LinkLost(); }
    void Reopen() override { line.Reopen(); }

    engine::InterfaceLink& line;
    const std::thread::id windowThread = std::this_thread::get_id();
    std::atomic<int> exchanges{0};
    std::atomic<int> windowExchanges{0};
};

class SilentBoxWindowTest : public MainDialogFixture {
  protected:
    void SetUp() override {
        box.StartBox(2, {0x00});
        ASSERT_TRUE(engine::ConnectInterface(driverLink, "COM1", nullptr));
        MainDialogFixture::SetUp();
    }
    engine::InterfaceLink& Link() override { return link; }

    kinemo::testing::PtyPeer box;
    kinemo::testing::ScopedPortOverride com1{"COM1", box.DevicePath()};
    engine::DriverLink driverLink;
    CountingLink link{driverLink};
};

TEST_F(SilentBoxWindowTest, StopTakesEffectAfterTheExchangeInFlightAndEventsAreServed) {
    Click(PanelIds(0).left);
    for (int m = 0; m < engine::kMotorCount; ++m) {
        Click(PanelIds(m).maxDurationCheck);  // the movement never ends by itself
    }
    for (const int stop : {kIdEmergencyStop, kIdEnd}) {
        SCOPED_TRACE(stop);
        dialog->show();
        box.SetAnswer({0x00});
        const std::size_t before = box.Requests().size();
        Click(kIdRunList);
        ASSERT_TRUE(box.WaitForRequests(before + 20));
        box.SetAnswer({});
        const std::size_t silentFrom = box.Requests().size();
        ASSERT_TRUE(box.WaitForRequests(silentFrom + 1));

        // The run goes on, one unanswered tick after another, and an event
        // queued now is served within the wait of one of them.
        std::optional<std::size_t> requestsWhenServed;
        QTimer::singleShot(0, dialog.get(), [&] { requestsWhenServed = box.Requests().size(); });
        ASSERT_TRUE(WaitUntil([&] { return requestsWhenServed.has_value(); }));
        EXPECT_TRUE(dialog->Run().Running());
        EXPECT_LE(*requestsWhenServed, silentFrom + 2);

        const std::size_t atStop = box.Requests().size();
        Click(stop);
        ASSERT_TRUE(dialog->Run().WaitUntilIdle(30000));
        // The run is over and its RunEnded queued. An event queued now is
        // served right after it, with no exchange between: the window thread
        // never waits on the silent line.
        const int exchangesAtEnd = link.exchanges.load();
        std::optional<std::pair<bool, int>> whenServed;  // RunEnded handled, exchanges
        QTimer::singleShot(0, dialog.get(), [&] {
            whenServed = std::pair(dialog->IsEnabled(kIdRunList), link.exchanges.load());
        });
        ASSERT_TRUE(WaitUntil([&] { return whenServed.has_value(); }));
        EXPECT_EQ(*whenServed, std::pair(true, exchangesAtEnd));
        EXPECT_EQ(link.windowExchanges.load(), 0);
        // After the stop: at most the exchange that was in flight, the run's
        // last word and the player's all-off once more. (Which words follow a
        // stop: the player tests.)
        // A silent box is no lost line: no message.
        const std::vector<Bytes> requests = box.Requests();
        EXPECT_EQ(
            std::tuple(requests.size() <= atStop + 3, requests.back(), messages.Requests().size()),
            std::tuple(true, Bytes{0xC1, 0x00}, 0u));
    }
}

}  // namespace
}  // namespace kinemo::ui::testing
