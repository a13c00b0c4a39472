#include "simulator/line_latency.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace kinemo::simulator {

namespace {

// A byte that does not arrive within this long is taken as lost.
constexpr int kArrivalTimeoutMs = 100;

// Between two samples both sides rest as long as a program waits for a 0xC1
// answer, so the reader is woken from the same sleep as on the line.
constexpr auto kRestBetweenSamples = std::chrono::microseconds(3125);

std::int64_t NowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Median microseconds from writing one byte on `from` until a reader waiting
// in poll on `to` has it: the pseudo-terminal's hand-over plus waking the
// reader, which is what the box and the programs meet on every exchange.
// 0 if a byte is lost.
std::int64_t MedianDelayUs(int from, int to, int samples) {
    std::vector<std::int64_t> delays(static_cast<std::size_t>(samples), -1);
    std::atomic<std::int64_t> sentUs{0};
    std::atomic<int> received{0};
    std::thread reader([&] {
        for (int i = 0; i < samples; ++i) {
            pollfd arrival{to, POLLIN, 0};
            if (::poll(&arrival, 1, kArrivalTimeoutMs) != 1 || (arrival.revents & POLLIN) == 0) {
                break;
            }
            const std::int64_t delay = NowUs() - sentUs.load();
            std::uint8_t in[16];
            if (::read(to, in, sizeof(in)) < 1) {
                break;
            }
            delays[static_cast<std::size_t>(i)] = delay;
            received.store(i + 1);
        }
    });
    for (int i = 0; i < samples; ++i) {
        std::this_thread::sleep_for(kRestBetweenSamples);
        if (received.load() != i) {
            break;  // the previous byte was lost: the reader has given up
        }
        const std::uint8_t out = 0x55;
        sentUs.store(NowUs());
        if (::write(from, &out, 1) != 1) {
            break;
        }
    }
    reader.join();
    if (samples <= 0 || received.load() != samples) {
        return 0;  // the line does not behave: no correction
    }
    const auto middle = delays.begin() + samples / 2;
    std::nth_element(delays.begin(), middle, delays.end());
    return std::clamp<std::int64_t>(*middle, 0, kMaxLatencyCorrectionUs);
}

}  // namespace

LineLatency MeasureLineLatency(int masterFd, int slaveFd, int samples) {
    LineLatency latency;
    latency.inUs = MedianDelayUs(slaveFd, masterFd, samples);
    latency.outUs = MedianDelayUs(masterFd, slaveFd, samples);
    // A byte taken as lost may still arrive: no program may ever read it.
    ::tcflush(masterFd, TCIFLUSH);
    ::tcflush(slaveFd, TCIFLUSH);
    return latency;
}

}  // namespace kinemo::simulator
