// Where the control loop's joystick reads come from: the joystick itself, a
// replay file played through a virtual joystick, and a recorder that writes
// every read of a run to a replay file.
//
// A replay file is text. The first line is
//     # kinemo-joy replay name="NAME" axes=A buttons=B hat=H
// (A 2..6, B 0..32, H 0 or 1), then one line per joystick read:
//     x,y,z,r,u,v,pov,buttons
// eight decimal numbers: axes 0..65535 (columns beyond A are ignored), pov
// 0, 4500, ..., 31500 or 65535 (always 65535 without a hat), buttons a bit
// mask below 2^B. Further lines beginning with '#' are comments. A malformed
// file is refused as a whole, with the number of the first bad line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/joystick.h"

namespace kinemo::joy {

enum class ReadResult {
    kOk,
    kFailed,  // the joystick is unreadable (gone); the position is unchanged
    kEnded,   // a replay has no line left: the run ends as by "NOT-AUS"
};

// One joystick read per call; called on the control thread only, and must
// allocate nothing.
class JoystickSource {
  public:
    virtual ~JoystickSource() = default;
    virtual ReadResult Read(platform::JoystickPosition& position) = 0;
};

// Joystick `index` of the system list, through platform::JoystickDevice.
class DeviceSource : public JoystickSource {
  public:
    // Opens the joystick; check Opened().
    explicit DeviceSource(int index = 0);
    bool Opened() const { return device_.IsOpen(); }
    platform::JoystickCaps Caps() const { return device_.Caps(); }
    ReadResult Read(platform::JoystickPosition& position) override;

  private:
    platform::JoystickDevice device_;
};

// ---- replay files ----

inline constexpr std::size_t kReplayMaxNameLength = 127;
// At most this many reads per file (more than seven hours at 320 ticks/s).
inline constexpr std::size_t kReplayMaxReads = 8'000'000;

struct ReplayHeader {
    std::string name;
    int axes = 2;
    int buttons = 0;
    int hat = 0;
};

// One read of a replay, compact.
struct ReplayRead {
    std::uint16_t axes[platform::kJoystickMaxAxes] = {};
    std::uint16_t pov = 0xFFFF;
    std::uint32_t buttons = 0;
};

struct Replay {
    ReplayHeader header;
    std::vector<ReplayRead> reads;
};

struct ReplayParseResult {
    bool ok = false;
    int line = 0;         // the first bad line (1 = the header) when !ok
    std::string message;  // what is wrong with it, in German, one line
};

// Parses a whole replay file's text.
ReplayParseResult ParseReplay(std::string_view text, Replay& replay);
// Reads and parses a file; a file that cannot be read is refused with line 0.
ReplayParseResult LoadReplay(const std::string& path, Replay& replay);
// "DATEI:ZEILE: MELDUNG" (or "DATEI: MELDUNG" for line 0).
std::string ReplayErrorLine(const std::string& path, const ReplayParseResult& result);

platform::JoystickPosition PositionOf(const ReplayRead& read);
ReplayRead ReadOf(const platform::JoystickPosition& position);

// The header line (with its newline) for a joystick with these capabilities:
// axes clamped to 2..6, a name's double quotes turned into single quotes.
std::string ReplayHeaderLine(const platform::JoystickCaps& caps);
// One read line with its newline; writes into `buffer` (at least
// kReplayLineMax bytes) and returns the length. Allocates nothing.
inline constexpr std::size_t kReplayLineMax = 96;
std::size_t FormatReplayLine(const platform::JoystickPosition& position, char* buffer);

// Plays a replay through an SDL virtual joystick: each Read sets the virtual
// joystick from the next line, then reads it through the normal SDL path.
class ReplaySource : public JoystickSource {
  public:
    // Attaches the virtual joystick (name and counts from the header) and
    // opens it; check Opened(). The replay must outlive the source.
    explicit ReplaySource(const Replay& replay);
    bool Opened() const { return device_.IsOpen(); }
    platform::JoystickCaps Caps() const { return device_.Caps(); }
    // Reads left.
    std::size_t Remaining() const { return replay_.reads.size() - next_; }
    ReadResult Read(platform::JoystickPosition& position) override;

  private:
    const Replay& replay_;
    std::size_t next_ = 0;
    platform::VirtualJoystick virtual_;
    platform::JoystickDevice device_;
};

// Passes every read of `inner` on and writes it to a replay file, one line per
// read (reads that failed write the position that stays in effect). The file
// is written through a large buffer; Finish flushes and closes it.
class RecordingSource : public JoystickSource {
  public:
    RecordingSource(JoystickSource& inner, const platform::JoystickCaps& caps);
    ~RecordingSource() override;
    RecordingSource(const RecordingSource&) = delete;
    RecordingSource& operator=(const RecordingSource&) = delete;

    // Creates the file and writes its header; false if it cannot be created.
    bool Open(const std::string& path);
    // Flushes and closes; false if anything could not be written.
    bool Finish();
    ReadResult Read(platform::JoystickPosition& position) override;

  private:
    JoystickSource& inner_;
    platform::JoystickCaps caps_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    bool failed_ = false;
};

}  // namespace kinemo::joy
