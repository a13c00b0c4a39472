// Round-trip checks for every parser of outside input. Each takes the raw
// bytes a user, a file or the line could hand the program and returns an empty
// string when the parser behaved, else what went wrong. The fuzz targets abort
// on a non-empty answer; the regression test replays saved inputs through the
// same functions.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kinemo::fuzz {

using Bytes = std::span<const std::uint8_t>;

// .kmo: an accepted file, written back and parsed again, gives the same
// settings and records, and writing those again gives the same bytes.
std::string CheckProgramFile(Bytes bytes);
// settings.kmj: header and body of an accepted file, encoded and read again,
// give the same settings and the same 166 bytes.
std::string CheckJoySettingsFile(Bytes bytes);
// settings.kms: an accepted file, encoded and decoded, gives the same
// settings, and its encoding is the accepted file's layout byte for byte.
std::string CheckKeyboardSettingsFile(Bytes bytes);
// Joystick replay: an accepted file, written back line by line and parsed
// again, gives the same header and reads.
std::string CheckReplayFile(Bytes bytes);
// The box's frame parser: every byte fed ends up in a frame, among the
// skipped bytes or in the one pending frame; every frame has a command byte.
// The first byte of each pair of input bytes is a time step, the second the
// line byte.
std::string CheckFrameStream(Bytes bytes);

// Which check a regression file goes through, by its extension (".kmo",
// ".kmj", ".kms", ".replay", ".frames", and ".cliargs", ".speechargs",
// ".joyargs" for the command lines); nullptr for any other.
using Check = std::string (*)(Bytes);
Check CheckForExtension(const std::string& extension);

}  // namespace kinemo::fuzz
