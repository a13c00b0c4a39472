// Keyboard-controller test support: key entries, and what a run put on the
// wire of a pseudo-terminal box (every request is 0xC1 and one output word).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include "keyboard/key_table.h"
#include "tests/platform/pty_peer.h"

namespace kinemo::keyboard::testing {

using kinemo::testing::Bytes;
using kinemo::testing::PtyPeer;

inline constexpr int kGenerousMs = 20000;

// Appends a `character` entry with `action` chosen as the user does, acting
// on the motors given as (motor, value) pairs.
inline int AddKey(KeyTable& table, std::uint8_t character, KeyAction action,
                  std::initializer_list<std::pair<int, int>> motors = {}) {
    const int entry = table.Append(character);
    ChooseAction(table, entry, action);
    for (const auto& [motor, value] : motors) {
        table.SetIncluded(entry, motor, true);
        table.SetValue(entry, motor, static_cast<std::uint8_t>(value));
    }
    return entry;
}

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
