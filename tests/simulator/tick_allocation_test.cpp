// The serial thread allocates nothing per tick: every operator new in this
// binary is counted, and a thousand exchanges with tracing on must not add
// one. (Its own binary, since the counting replaces the global operator new.)
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include "simulator/simulated_box.h"
#include "tests/simulator/line_client.h"

// Every operator new of this binary, counted (counting_new.cpp).
long AllocationCount();

namespace kinemo::simulator {
namespace {

TEST(TickAllocation, ExchangesAllocateNothing) {
    SimulatedBoxOptions options = SimulatedBoxOptions::FastLine();
    options.tracePath = ::testing::TempDir() + "/sim_alloc_trace.csv";
    SimulatedBox box(options);
    const std::string path = box.Start();
    ASSERT_FALSE(path.empty()) << box.error();
    testing::LineClient client(path);
    ASSERT_TRUE(client.ok());
    // Warm up: the first exchange may meet lazily built library state.
    ASSERT_EQ(client.Exchange({0xC1, 0x00}, 1).size(), 1u);

    const long before = AllocationCount();
    const std::uint8_t requests[2][3] = {{0xC1, 0x02}, {0xC2, 0x01, 0x02}};
    int answered = 0;
    for (int i = 0; i < 1000; ++i) {
        const std::size_t module = static_cast<std::size_t>(i % 2);
        const std::size_t want = 1 + module;
        std::uint8_t answer[2];
        std::size_t got = 0;
        pollfd p{client.fd(), POLLIN, 0};
        ssize_t n = ::write(client.fd(), requests[module], 2 + module);
        while (n > 0 && got < want && ::poll(&p, 1, 5000) == 1) {
            n = ::read(client.fd(), answer + got, want - got);
            got += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
        answered += got == want ? 1 : 0;
        (void)box.Snapshot();
    }
    const long during = AllocationCount() - before;
    EXPECT_EQ(answered, 1000);
    EXPECT_EQ(during, 0);
}

}  // namespace
}  // namespace kinemo::simulator
