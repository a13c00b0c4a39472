#include "keyboard/voice/word_list.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <set>

namespace kinemo::voice {
namespace {

// The umlauts and sharp s as UTF-8: upper-case form, lower-case form.
struct Umlaut {
    std::string_view upper;
    std::string_view lower;
};
constexpr Umlaut kUmlauts[] = {
    {"\xC3\x84", "\xC3\xA4"},  // Ä ä
    {"\xC3\x96", "\xC3\xB6"},  // Ö ö
    {"\xC3\x9C", "\xC3\xBC"},  // Ü ü
    {"\xC3\x9F", "\xC3\x9F"},  // ß has no upper case of its own here
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && !IsBlank(line[i])) {
            ++i;
        }
        if (i > start) {
            fields.push_back(line.substr(start, i - start));
        }
    }
    return fields;
}

// Decodes a field that must hold exactly one character of Latin-1 (U+0000 to
// U+00FF) in UTF-8; false when it holds more, less or something else.
bool DecodeLatin1Character(std::string_view field, unsigned char& character) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(field.data());
    if (field.size() == 1 && bytes[0] < 0x80) {
        character = bytes[0];
        return true;
    }
    // Two-byte UTF-8 sequences C2 80..C3 BF are exactly U+0080..U+00FF.
    if (field.size() == 2 && (bytes[0] == 0xC2 || bytes[0] == 0xC3) && (bytes[1] & 0xC0) == 0x80) {
        character = static_cast<unsigned char>(((bytes[0] & 0x03) << 6) | (bytes[1] & 0x3F));
        return true;
    }
    return false;
}

bool ParseThreshold(std::string_view field, double& value) {
    const std::string text(field);
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || text.empty() || !std::isfinite(parsed) ||
        !(parsed > 0.0) || parsed > 1.0) {
        return false;
    }
    // A value too small for a double underflows to a subnormal or zero; both
    // are useless as thresholds.
    if (errno == ERANGE || parsed < 1e-300) {
        return false;
    }
    value = parsed;
    return true;
}

std::string AtLine(int line, const std::string& text) {
    return "Zeile " + std::to_string(line) + ": " + text;
}

}  // namespace

std::string LowerWord(std::string_view word) {
    std::string lower;
    lower.reserve(word.size());
    for (std::size_t i = 0; i < word.size(); ++i) {
        const char c = word[i];
        if (c >= 'A' && c <= 'Z') {
            lower.push_back(static_cast<char>(c - 'A' + 'a'));
            continue;
        }
        bool replaced = false;
        for (const Umlaut& u : kUmlauts) {
            if (word.substr(i, u.upper.size()) == u.upper) {
                lower += u.lower;
                i += u.upper.size() - 1;
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            lower.push_back(c);
        }
    }
    return lower;
}

bool IsValidWord(std::string_view word) {
    if (word.empty() || word.size() > kMaxWordBytes) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        const char c = word[i];
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '\'' || c == '-') {
            continue;
        }
        bool umlaut = false;
        for (const Umlaut& u : kUmlauts) {
            if (word.substr(i, 2) == u.upper || word.substr(i, 2) == u.lower) {
                umlaut = true;
                break;
            }
        }
        if (!umlaut) {
            return false;
        }
        ++i;
    }
    return true;
}

WordListResult ParseWordList(std::string_view text) {
    WordListResult result;
    if (text.size() > kMaxWordListBytes) {
        result.error = "Die Wortliste ist zu groß (höchstens " +
                       std::to_string(kMaxWordListBytes / 1024) + " KiB)";
        return result;
    }
    if (text.find('\0') != std::string_view::npos) {
        result.error = "Die Wortliste ist keine Textdatei (sie enthält Nullbytes)";
        return result;
    }
    // A byte-order mark at the start is what some editors write; it is no word.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    WordList list;
    std::set<std::string> seen;
    int lineNumber = 0;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const std::size_t newline = text.find('\n', pos);
        const std::string_view line = text.substr(
            pos, newline == std::string_view::npos ? std::string_view::npos : newline - pos);
        pos = newline == std::string_view::npos ? text.size() + 1 : newline + 1;
        ++lineNumber;

        std::vector<std::string_view> fields = SplitFields(line);
        if (fields.empty() || fields[0].front() == '#') {
            continue;
        }
        // From the third field on, a field starting with "#" begins a comment.
        for (std::size_t f = 2; f < fields.size(); ++f) {
            if (fields[f].front() == '#') {
                fields.resize(f);
                break;
            }
        }
        if (fields.size() < 2) {
            result.error = AtLine(lineNumber,
                                  "Zum Wort fehlt das Zeichen (erwartet: WORT ZEICHEN [SCHWELLE])");
            return result;
        }
        if (fields.size() > 3) {
            result.error =
                AtLine(lineNumber, "Zu viele Angaben (erwartet: WORT ZEICHEN [SCHWELLE])");
            return result;
        }
        if (!IsValidWord(fields[0])) {
            result.error = AtLine(lineNumber, "Ungültiges Wort \"" +
                                                  std::string(fields[0].substr(0, kMaxWordBytes)) +
                                                  "\" (erlaubt sind Buchstaben, Ziffern, ' und -)");
            return result;
        }
        VoiceCommand command;
        command.word = LowerWord(fields[0]);
        command.line = lineNumber;
        if (!DecodeLatin1Character(fields[1], command.character)) {
            result.error =
                AtLine(lineNumber, "Das Zeichen muss genau ein Zeichen aus Latin-1 sein, nicht \"" +
                                       std::string(fields[1].substr(0, 16)) + "\"");
            return result;
        }
        command.threshold = kDefaultThreshold;
        if (fields.size() == 3 && !ParseThreshold(fields[2], command.threshold)) {
            result.error =
                AtLine(lineNumber, "Ungültige Schwelle \"" + std::string(fields[2].substr(0, 32)) +
                                       "\" (eine Zahl über 0 und höchstens 1, z. B. 1e-30)");
            return result;
        }
        if (!seen.insert(command.word).second) {
            result.error =
                AtLine(lineNumber, "Das Wort \"" + command.word + "\" steht schon in der Liste");
            return result;
        }
        if (list.commands.size() == kMaxCommands) {
            result.error = AtLine(
                lineNumber, "Zu viele Wörter (höchstens " + std::to_string(kMaxCommands) + ")");
            return result;
        }
        list.commands.push_back(std::move(command));
    }
    if (list.commands.empty()) {
        result.error = "Die Wortliste enthält kein Wort";
        return result;
    }
    result.list = std::move(list);
    return result;
}

bool ReadSmallFile(const std::string& path, std::size_t maxBytes, std::string& contents,
                   std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "Die Datei \"" + path + "\" kann nicht gelesen werden";
        return false;
    }
    contents.clear();
    char buffer[4096];
    while (in) {
        in.read(buffer, sizeof buffer);
        contents.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (contents.size() > maxBytes) {
            error = "Die Datei \"" + path + "\" ist zu groß (höchstens " +
                    std::to_string(maxBytes / 1024) + " KiB)";
            return false;
        }
    }
    if (in.bad()) {
        error = "Die Datei \"" + path + "\" kann nicht gelesen werden";
        return false;
    }
    return true;
}

WordListResult LoadWordList(const std::string& path) {
    WordListResult result;
    std::string text;
    if (!ReadSmallFile(path, kMaxWordListBytes, text, result.error)) {
        return result;
    }
    result = ParseWordList(text);
    if (!result.list) {
        result.error = path + ": " + result.error;
    }
    return result;
}

}  // namespace kinemo::voice
