// The serial thread allocates nothing per tick: every operator new in this
// binary is counted, and a thousand exchanges with tracing on must not add
// one. (Its own binary, since the counting replaces the global operator new.)
#include <gtest/gtest.h>

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
    for (std::size_t i = 0; i < 1000; ++i) {
        std::uint8_t answer[2];
        const std::size_t module = i % 2;
        answered += client.Exchange(requests[module], 2 + module, answer, 1 + module) == 1 + module;
        (void)box.Snapshot();
    }
    EXPECT_EQ(std::pair(answered, AllocationCount() - before), std::pair(1000, 0L));
}

}  // namespace
}  // namespace kinemo::simulator
