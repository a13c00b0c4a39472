// Writes every exchange of the simulated box as one CSV line.
//
//   tick,us,cmd,out1,out2,in1,in2
//   1,3125,C1,01,,80,
//   2,8333,C2,0A,01,00,40
//
// tick: 1 for the first exchange; us: microseconds from the box's start to
// the arrival of the request's command byte; cmd: the command byte in hex;
// out1/out2: Motor output words M1-M4 / M5-M8 and in1/in2: Input words
// E1-E8 / E9-E16 as answered, two hex digits each. out2 and in2 stay empty
// for a 0xC1 exchange, which addresses the box alone.
//
// Lines collect in a fixed buffer that goes to the file when it fills and at
// least every kFlushIntervalUs, so tracing costs a formatted line per tick
// and an occasional write, never an allocation.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kinemo::simulator {

inline constexpr std::int64_t kFlushIntervalUs = 100'000;

class TraceWriter {
  public:
    TraceWriter() = default;
    ~TraceWriter();
    TraceWriter(const TraceWriter&) = delete;
    TraceWriter& operator=(const TraceWriter&) = delete;

    // Creates (truncates) the file and writes the header. False on failure.
    bool Open(const std::string& path);
    bool isOpen() const { return fd_ >= 0; }

    void Add(std::uint64_t tick, std::int64_t us, std::uint8_t command, std::uint16_t outputs,
             std::uint16_t inputs);

    // Writes the buffer out if kFlushIntervalUs passed since the last write.
    void FlushIfDue(std::int64_t nowUs);
    void Flush();
    void Close();

  private:
    int fd_ = -1;
    std::int64_t lastFlushUs_ = 0;
    std::size_t used_ = 0;
    std::array<char, 64 * 1024> buffer_{};
};

}  // namespace kinemo::simulator
