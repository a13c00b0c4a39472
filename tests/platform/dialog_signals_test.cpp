#include "platform/dialog_signals.h"

#include <gtest/gtest.h>

#include <QObject>
#include <csignal>
#include <memory>
#include <vector>

#include "tests/sequencer/ui/wait_until.h"

namespace {

using kinemo::ui::testing::WaitUntil;

// raise() sends to this (the window) thread, so the toolkit's own threads
// never see the signals, blocked there or not.
TEST(WatchTerminationSignals, HandsEverySignalToTheWindowThreadUntilTheParentGoes) {
    kinemo::platform::TerminationSignals termination;
    std::vector<int> seen;
    auto parent = std::make_unique<QObject>();
    WatchTerminationSignals(termination, parent.get(),
                            [&seen](int signal) { seen.push_back(signal); });
    std::raise(SIGTERM);
    std::raise(SIGHUP);
    ASSERT_TRUE(WaitUntil([&seen] { return seen.size() >= 2; }));
    std::raise(SIGINT);
    ASSERT_TRUE(WaitUntil([&seen] { return seen.size() >= 3; }));
    EXPECT_EQ(seen, (std::vector<int>{SIGHUP, SIGTERM, SIGINT}));

    parent.reset();
    std::raise(SIGTERM);
    QCoreApplication::processEvents();
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(termination.Take(), SIGTERM);
}

}  // namespace
