// The pseudo-terminal's own transport delay, measured on the box's line.
//
// A real serial line has none: a byte is on the wire the moment it is
// written. A pseudo-terminal hands bytes over through a kernel worker, so a
// request reaches the box some tens of microseconds after the program wrote
// it, and the answer reaches the program as long after the box wrote it.
// Knowing both delays, the box can date a request back to when the program
// sent it and send the answer that much early, so that a tick takes as long
// as on a real line instead of the line time plus two transport delays.
#pragma once

#include <cstdint>

namespace kinemo::simulator {

struct LineLatency {
    std::int64_t inUs = 0;   // slave write -> readable on the master (requests)
    std::int64_t outUs = 0;  // master write -> readable on the slave (answers)
};

// On an idle machine each delay is tens of microseconds. A measurement above
// this was disturbed by load; trusting it would make answers too early, so
// each direction is corrected by at most this much (0xC1 answers stay at
// least 3.125 ms - 2 * 0.25 ms = 2.625 ms after their request arrived).
inline constexpr std::int64_t kMaxLatencyCorrectionUs = 250;

// Sends `samples` single bytes each way between the two sides of one
// pseudo-terminal pair and returns the median delay of each direction,
// capped at kMaxLatencyCorrectionUs; a direction that fails to deliver
// counts as 0 (no correction). Both descriptors must be raw. Only reads
// and writes bytes: no terminal setting, lock or mode changes. Leaves both
// input queues empty. Call it before any program has the line open.
LineLatency MeasureLineLatency(int masterFd, int slaveFd, int samples);

// A USB serial adapter passes received bytes on when its latency timer
// expires; the timer runs from `epochUs` with a period of `latencyMs`. The
// time an answer complete at `dueUs` reaches the program: the timer's next
// expiry after it (`dueUs` itself when latencyMs is 0 or less).
constexpr std::int64_t UsbTimerExpiryUs(std::int64_t dueUs, std::int64_t epochUs, int latencyMs) {
    if (latencyMs <= 0) {
        return dueUs;
    }
    const std::int64_t periodUs = static_cast<std::int64_t>(latencyMs) * 1000;
    const std::int64_t since = dueUs - epochUs;
    const std::int64_t periods = since < 0 ? 0 : since / periodUs + 1;
    return epochUs + periods * periodUs;
}

}  // namespace kinemo::simulator
