// Reading what a keyboard-controller run put on the wire of a pseudo-terminal
// box: every request is 0xC1 and one Motor output word.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "tests/platform/pty_peer.h"

namespace kinemo::keyboard::testing {

using kinemo::testing::Bytes;
using kinemo::testing::PtyPeer;

inline constexpr int kGenerousMs = 20000;

// Waits until the requests the box received satisfy `done` (bounded).
inline bool WaitForWire(const PtyPeer& box,
                        const std::function<bool(const std::vector<Bytes>&)>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerousMs);
    for (;;) {
        const std::vector<Bytes> requests = box.Requests();
        if (done(requests)) {
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        box.WaitForRequests(requests.size() + 1, 100);
    }
}

// The output words of the requests from `from` on, each checked for its frame.
inline std::vector<std::uint8_t> Words(const std::vector<Bytes>& requests, std::size_t from = 0) {
    std::vector<std::uint8_t> words;
    for (std::size_t i = from; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].size(), 2U);
        EXPECT_EQ(requests[i][0], 0xC1);
        words.push_back(requests[i].size() == 2 ? requests[i][1] : 0xFF);
    }
    return words;
}

}  // namespace kinemo::keyboard::testing
