#include "keyboard/voice/pronunciation_list.h"

#include <algorithm>
#include <array>

#include "keyboard/voice/word_list.h"

namespace kinemo::voice {
namespace {

constexpr std::array<std::string_view, 39> kPhones = {
    "AA", "AE", "AH", "AO", "AW", "AY", "B",  "CH", "D", "DH", "EH", "ER", "EY",
    "F",  "G",  "HH", "IH", "IY", "JH", "K",  "L",  "M", "N",  "NG", "OW", "OY",
    "P",  "R",  "S",  "SH", "T",  "TH", "UH", "UW", "V", "W",  "Y",  "Z",  "ZH"};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string AtLine(int line, const std::string& text) {
    return "Zeile " + std::to_string(line) + ": " + text;
}

// Splits "word(2)" into "word"; false when the parenthesis is malformed.
bool BaseWord(std::string_view token, std::string_view& base) {
    const std::size_t open = token.find('(');
    if (open == std::string_view::npos) {
        base = token;
        return true;
    }
    if (token.back() != ')' || open == 0 || open + 2 >= token.size()) {
        return false;
    }
    for (std::size_t i = open + 1; i + 1 < token.size(); ++i) {
        if (token[i] < '0' || token[i] > '9') {
            return false;
        }
    }
    base = token.substr(0, open);
    return true;
}

}  // namespace

bool IsModelPhone(std::string_view phone) {
    return std::find(kPhones.begin(), kPhones.end(), phone) != kPhones.end();
}

PronunciationResult ParsePronunciations(std::string_view text,
                                        const std::set<std::string>* wanted) {
    PronunciationResult result;
    if (wanted == nullptr && text.size() > kMaxPronunciationListBytes) {
        result.error = "Die Aussprachliste ist zu groß (höchstens " +
                       std::to_string(kMaxPronunciationListBytes / 1024) + " KiB)";
        return result;
    }
    if (text.find('\0') != std::string_view::npos) {
        result.error = "Die Aussprachliste ist keine Textdatei (sie enthält Nullbytes)";
        return result;
    }
    Pronunciations list;
    int lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t newline = text.find('\n', pos);
        if (newline == std::string_view::npos) {
            newline = text.size();
        }
        std::string_view line = text.substr(pos, newline - pos);
        pos = newline + 1;
        ++lineNumber;
        if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) {
            line = line.substr(0, hash);
        }
        std::size_t i = 0;
        auto nextToken = [&]() {
            while (i < line.size() && IsBlank(line[i])) {
                ++i;
            }
            const std::size_t start = i;
            while (i < line.size() && !IsBlank(line[i])) {
                ++i;
            }
            return line.substr(start, i - start);
        };
        const std::string_view token = nextToken();
        if (token.empty()) {
            continue;
        }
        std::string_view base;
        if (!BaseWord(token, base) || !IsValidWord(base)) {
            if (wanted != nullptr) {
                continue;  // the model's own entries may hold words we never ask for
            }
            result.error =
                AtLine(lineNumber,
                       "Ungültiges Wort \"" + std::string(token.substr(0, kMaxWordBytes)) + "\"");
            return result;
        }
        const std::string word = LowerWord(base);
        if (wanted != nullptr && wanted->count(word) == 0) {
            continue;
        }
        std::string phones;
        std::size_t count = 0;
        for (std::string_view phone = nextToken(); !phone.empty(); phone = nextToken()) {
            // Stress marks of the model's dictionary: AA1 is AA.
            while (!phone.empty() && phone.back() >= '0' && phone.back() <= '2') {
                phone.remove_suffix(1);
            }
            if (!IsModelPhone(phone)) {
                result.error =
                    AtLine(lineNumber, "Unbekannter Laut \"" + std::string(phone.substr(0, 8)) +
                                           "\" bei \"" + word + "\"");
                return result;
            }
            if (++count > kMaxPhonesPerPronunciation) {
                result.error =
                    AtLine(lineNumber, "Zu viele Laute bei \"" + word + "\" (höchstens " +
                                           std::to_string(kMaxPhonesPerPronunciation) + ")");
                return result;
            }
            if (!phones.empty()) {
                phones.push_back(' ');
            }
            phones.append(phone);
        }
        if (phones.empty()) {
            result.error = AtLine(lineNumber, "Zum Wort \"" + word + "\" fehlen die Laute");
            return result;
        }
        std::vector<std::string>& entry = list[word];
        if (std::find(entry.begin(), entry.end(), phones) != entry.end()) {
            continue;  // the same pronunciation twice changes nothing
        }
        if (entry.size() == kMaxPronunciationsPerWord) {
            result.error =
                AtLine(lineNumber, "Zu viele Aussprachen für \"" + word + "\" (höchstens " +
                                       std::to_string(kMaxPronunciationsPerWord) + ")");
            return result;
        }
        entry.push_back(std::move(phones));
    }
    result.list = std::move(list);
    return result;
}

PronunciationResult LoadPronunciations(const std::string& path, const std::set<std::string>* wanted,
                                       std::size_t maxBytes) {
    PronunciationResult result;
    std::string text;
    if (!ReadSmallFile(path, maxBytes, text, result.error)) {
        return result;
    }
    result = ParsePronunciations(text, wanted);
    if (!result.list) {
        result.error = path + ": " + result.error;
    }
    return result;
}

}  // namespace kinemo::voice
