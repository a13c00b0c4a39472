// The word list of the speech input: which spoken word stands for which key
// character. A text file, UTF-8, one command per line:
//
//     WORD CHAR [THRESHOLD]      e.g.  links a 1e-30
//
// WORD is one word of letters (also ä ö ü ß), digits, "'" or "-"; it is
// matched without regard to case and kept in lower case. CHAR is exactly one
// character of Latin-1 (the key table's character set), so "ü" is the single
// byte 0xFC. THRESHOLD is the detection threshold of the word, a number
// above 0 and at most 1: smaller values hear the word more readily (and also
// hear it where it was not said), larger values need a clearer match.
// Fields are separated by blanks or tabs. A line whose first non-blank
// character is "#" is a comment, and so is everything from a field that starts
// with "#" after CHAR. Blank lines are ignored.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kinemo::voice {

struct VoiceCommand {
    std::string word;             // lower case, UTF-8
    unsigned char character = 0;  // Latin-1 byte given to the key handler
    double threshold = 0.0;       // detection threshold, 0 < threshold <= 1
    int line = 0;                 // line number in the file, for messages
};

struct WordList {
    std::vector<VoiceCommand> commands;  // in file order
};

// Limits that keep a damaged or foreign file from taking the program down.
inline constexpr std::size_t kMaxWordListBytes = 64 * 1024;
inline constexpr std::size_t kMaxCommands = 255;
inline constexpr std::size_t kMaxWordBytes = 64;
// Used for commands whose line names no threshold.
inline constexpr double kDefaultThreshold = 1e-30;

struct WordListResult {
    std::optional<WordList> list;  // set on success
    std::string error;             // German message with the line number otherwise
};

// Reads a word list from text. Every fault is refused with a message that
// names its line; nothing is returned then.
WordListResult ParseWordList(std::string_view text);

// Reads the file at `path` (at most kMaxWordListBytes) and parses it.
WordListResult LoadWordList(const std::string& path);

// Lower-cases ASCII letters and the German umlauts in UTF-8; other bytes stay.
std::string LowerWord(std::string_view word);

// True when `word` is a word as the list allows it (letters incl. ä ö ü ß in
// either case, digits, "'" and "-"; not empty; at most kMaxWordBytes).
bool IsValidWord(std::string_view word);

// Reads a whole file of at most `maxBytes`; false with a German message when
// it cannot be read or is larger.
bool ReadSmallFile(const std::string& path, std::size_t maxBytes, std::string& contents,
                   std::string& error);

}  // namespace kinemo::voice
