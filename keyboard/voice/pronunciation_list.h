// Pronunciations: how each word sounds, spelled in the recogniser's phone set
// (the 39 phones of the US English model: AA AE AH AO AW AY B CH D DH EH ER
// EY F G HH IH IY JH K L M N NG OW OY P R S SH T TH UH UW V W Y Z ZH).
//
// One line per pronunciation, the word first and then its phones:
//
//     rechts R EH K T S
//     rechts(2) R EH HH T S     a second way of saying the same word
//
// The same format as the model's own dictionary, so both are read by the
// same code; stress digits after a phone (AA1) are accepted and dropped.
// "#" starts a comment to the end of the line.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kinemo::voice {

inline constexpr std::size_t kMaxPronunciationListBytes = 1024 * 1024;
inline constexpr std::size_t kMaxPhonesPerPronunciation = 40;
inline constexpr std::size_t kMaxPronunciationsPerWord = 8;

// Word (lower case) -> its pronunciations, each as phones joined by one blank.
using Pronunciations = std::map<std::string, std::vector<std::string>>;

struct PronunciationResult {
    std::optional<Pronunciations> list;
    std::string error;  // German, with the line number
};

// Parses a pronunciation list. With `wanted` given, only those words are kept
// (and lines of other words are not checked beyond their word), which is how
// the model's large dictionary is searched for a few words.
PronunciationResult ParsePronunciations(std::string_view text,
                                        const std::set<std::string>* wanted = nullptr);

// Reads and parses a file of at most `maxBytes`.
PronunciationResult LoadPronunciations(const std::string& path,
                                       const std::set<std::string>* wanted = nullptr,
                                       std::size_t maxBytes = kMaxPronunciationListBytes);

bool IsModelPhone(std::string_view phone);

}  // namespace kinemo::voice
