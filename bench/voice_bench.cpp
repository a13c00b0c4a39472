// Measures the speech input on synthetic speech made by
// scripts/make-test-speech.sh (run by hand; see the README's speech section).
//
//   voice_bench commands WORDLIST SPEECH.wav [options]
//       SPEECH.labels beside the file says where each word was spoken. Prints
//       each word's result and the share heard correctly, words heard wrong,
//       missed, and heard where none was said.
//   voice_bench quiet WORDLIST SPEECH.wav [options]
//       Speech or noise without command words: every word heard is a false
//       trigger; prints them and the count per five minutes.
//   voice_bench calibrate WORDLIST OUT.txt SET.wav... [options]
//       Finds each word's threshold: every utterance of the sets is judged
//       with no threshold; a set with a .labels file beside it holds command
//       words, one without holds none. A word's threshold is put where it
//       keeps the most of its own utterances while letting through none of
//       the others that the grammar took for it (one let through weighs as
//       much as --cost kept, default 5). Writes
//       the list again as OUT.txt with those thresholds (comments kept) and
//       prints what each word kept and let through.
// Options:
//   --paced             play the file at speaking pace through VoiceInput and
//                       measure the delay from each word's end to its
//                       character reaching the callback (median, 95th pct.)
//   --pronunciations F  another pronunciation list (default: the shipped one)
//   --threshold T       the same threshold for every word, instead of the list's
//   --end FRAMES        quiet 10 ms frames that end an utterance (default 18)
//   --pause FRAMES      quiet frames needed before a word (default 50)
//   --max FRAMES        longest utterance taken for a word (default 150)
//   --utterances        print every utterance judged, heard or refused
//   --margin M          calibrate: thresholds at most M (log10) below a word's
//                       lowest utterance kept (default 15)
//   --cost C            calibrate: what one word heard where none was said
//                       weighs against one missed (default 5)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "keyboard/voice/recogniser.h"
#include "keyboard/voice/voice_input.h"
#include "keyboard/voice/wav_file.h"

using namespace kinemo::voice;
using Clock = std::chrono::steady_clock;

namespace {

struct Label {
    std::size_t start = 0;
    std::size_t end = 0;
    std::string word, voice, speed;
};

struct Event {
    std::size_t command = 0;
    std::size_t sample = 0;  // stream position when heard
    double margin = 0;
    Clock::time_point when{};  // paced only: when the callback ran
};

int Usage() {
    std::fprintf(stderr,
                 "usage: voice_bench commands|quiet WORDLIST SPEECH.wav [--paced] "
                 "| calibrate WORDLIST OUT.txt SET.wav... "
                 "[--pronunciations F] [--threshold T] [--end N] [--max N] [--utterances] "
                 "[--margin M] [--cost C]\n");
    return 2;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) {
        return NAN;
    }
    std::sort(v.begin(), v.end());
    const double index = p * static_cast<double>(v.size() - 1);
    const auto lo = static_cast<std::size_t>(std::floor(index));
    const std::size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (index - static_cast<double>(lo));
}

std::vector<Label> ReadLabels(const std::string& path, bool& ok) {
    std::vector<Label> labels;
    std::ifstream in(path);
    ok = static_cast<bool>(in);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Label l;
        if (fields >> l.start >> l.end >> l.word >> l.voice >> l.speed) {
            labels.push_back(l);
        }
    }
    return labels;
}

std::string LabelsPath(const std::string& wavPath) {
    return wavPath.substr(0, wavPath.size() - 4) + ".labels";
}

// The threshold (log10) that keeps the most of `own` for the fewest of
// `other`: each word let through costs as much as `cost` words kept. Put in
// the middle of the gap it falls in.
double BestThreshold(std::vector<double> own, std::vector<double> other, double cost,
                     double margin) {
    std::vector<double> all = own;
    all.insert(all.end(), other.begin(), other.end());
    std::sort(all.begin(), all.end());
    std::sort(own.begin(), own.end());
    std::sort(other.begin(), other.end());
    if (all.empty()) {
        return -60;
    }
    double best = all.front() - 5;
    double bestScore = -1e300;
    double bestGap = 0;
    for (std::size_t i = 0; i <= all.size(); ++i) {
        const double lo = i == 0 ? all.front() - 10 : all[i - 1];
        const double hi = i == all.size() ? std::max(all.back() + 10, 0.0) : all[i];
        const double cut = (lo + hi) / 2;
        const auto kept =
            static_cast<double>(own.end() - std::lower_bound(own.begin(), own.end(), cut));
        const auto through =
            static_cast<double>(other.end() - std::lower_bound(other.begin(), other.end(), cut));
        const double score = kept - cost * through;
        if (score > bestScore + 1e-9 || (score > bestScore - 1e-9 && hi - lo > bestGap)) {
            bestScore = score;
            best = cut;
            bestGap = hi - lo;
        }
    }
    // Where no other word comes near, the middle of the gap may lie far below
    // the word's own utterances; a fixed margin under the lowest one kept is
    // enough for new voices and lets less through.
    const auto lowestKept = std::lower_bound(own.begin(), own.end(), best);
    if (lowestKept != own.end()) {
        best = std::max(best, *lowestKept - margin);
    }
    return std::min(best, 0.0);
}

int Calibrate(const std::string& listPath, const std::string& outPath,
              const std::vector<std::string>& sets, const std::string& pronunciationPath,
              RecogniserConfig config, double margin, double cost) {
    WordListResult words = LoadWordList(listPath);
    PronunciationResult own = LoadPronunciations(pronunciationPath);
    if (!words.list || !own.list) {
        std::fprintf(stderr, "%s%s\n", words.error.c_str(), own.error.c_str());
        return 1;
    }
    WordList open = *words.list;
    for (VoiceCommand& c : open.commands) {
        c.threshold = 1e-300;
    }
    const std::size_t n = open.commands.size();
    std::vector<std::vector<double>> ownScores(n), otherScores(n);
    for (const std::string& set : sets) {
        WavResult wav = LoadWav(set);
        if (!wav.samples) {
            std::fprintf(stderr, "%s\n", wav.error.c_str());
            return 1;
        }
        bool labelled = false;
        const std::vector<Label> labels = ReadLabels(LabelsPath(set), labelled);
        std::string error;
        std::unique_ptr<Recogniser> r = Recogniser::Create(open, *own.list, config, error);
        if (!r) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        r->ObserveUtterances([&](const Utterance& u) {
            if (!u.candidate) {
                return;
            }
            bool said = false;
            for (const Label& l : labels) {
                if (l.start < u.end && l.end > u.start &&
                    LowerWord(l.word) == open.commands[u.command].word) {
                    said = true;
                }
            }
            (said ? ownScores : otherScores)[u.command].push_back(u.confidence);
        });
        std::vector<Heard> heard;
        const std::vector<std::int16_t>& s = *wav.samples;
        for (std::size_t pos = 0; pos < s.size(); pos += 320) {
            r->Process(std::span<const std::int16_t>(s.data() + pos,
                                                     std::min<std::size_t>(320, s.size() - pos)),
                       heard);
        }
        r->Flush(heard);
        std::printf("%s: %s\n", set.c_str(), labelled ? "command words" : "no command words");
    }

    std::map<int, double> thresholdOfLine;
    for (std::size_t c = 0; c < n; ++c) {
        const double cut = BestThreshold(ownScores[c], otherScores[c], cost, margin);
        std::size_t kept = 0, through = 0;
        for (double v : ownScores[c])
            kept += v >= cut;
        for (double v : otherScores[c])
            through += v >= cut;
        const auto lowest = std::min_element(ownScores[c].begin(), ownScores[c].end());
        const auto highest = std::max_element(otherScores[c].begin(), otherScores[c].end());
        std::printf(
            "%-10s threshold 1e%+.1f: keeps %zu of %zu (lowest %.1f), lets %zu of %zu others "
            "through (highest %.1f)\n",
            open.commands[c].word.c_str(), cut, kept, ownScores[c].size(),
            lowest == ownScores[c].end() ? NAN : *lowest, through, otherScores[c].size(),
            highest == otherScores[c].end() ? NAN : *highest);
        thresholdOfLine[open.commands[c].line] = std::pow(10.0, cut);
    }
    // The list again, each command line with its new threshold.
    std::ifstream in(listPath);
    std::ostringstream out;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const auto found = thresholdOfLine.find(number);
        if (found == thresholdOfLine.end()) {
            out << line << "\n";
            continue;
        }
        std::istringstream fields(line);
        std::string word, character;
        fields >> word >> character;
        char text[160];
        std::snprintf(text, sizeof text, "%-10s %s  %.2g", word.c_str(), character.c_str(),
                      found->second);
        out << text << "\n";
    }
    const std::string temp = outPath + ".tmp";
    std::ofstream(temp) << out.str();
    std::filesystem::rename(temp, outPath);
    std::printf("wrote %s\n", outPath.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        return Usage();
    }
    const std::string mode = argv[1];
    const std::string listPath = argv[2];
    std::string wavPath = argv[3];
    std::vector<std::string> sets;
    bool paced = false;
    bool printUtterances = false;
    double margin = 15;
    double cost = 5;
    std::string pronunciationPath = FindPronunciationFile();
    double threshold = 0;
    RecogniserConfig config;
    for (int i = 4; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--paced") {
            paced = true;
        } else if (i + 1 < argc && a == "--pronunciations") {
            pronunciationPath = argv[++i];
        } else if (i + 1 < argc && a == "--threshold") {
            threshold = std::stod(argv[++i]);
        } else if (i + 1 < argc && a == "--end") {
            config.segmenter.endFrames = std::stoi(argv[++i]);
        } else if (i + 1 < argc && a == "--pause") {
            config.minPauseFrames = std::stoi(argv[++i]);
        } else if (i + 1 < argc && a == "--max") {
            config.segmenter.maxFrames = std::stoi(argv[++i]);
        } else if (i + 1 < argc && a == "--cost") {
            cost = std::stod(argv[++i]);
        } else if (i + 1 < argc && a == "--margin") {
            margin = std::stod(argv[++i]);
        } else if (a == "--utterances") {
            printUtterances = true;
        } else if (mode == "calibrate" && a.rfind("--", 0) != 0) {
            sets.push_back(a);
        } else {
            return Usage();
        }
    }
    if (mode == "calibrate") {
        return sets.empty()
                   ? Usage()
                   : Calibrate(listPath, wavPath, sets, pronunciationPath, config, margin, cost);
    }
    if (mode != "commands" && mode != "quiet") {
        return Usage();
    }

    WordListResult words = LoadWordList(listPath);
    if (!words.list) {
        std::fprintf(stderr, "%s\n", words.error.c_str());
        return 1;
    }
    if (threshold > 0) {
        for (VoiceCommand& c : words.list->commands) {
            c.threshold = threshold;
        }
    }
    PronunciationResult own = LoadPronunciations(pronunciationPath);
    if (!own.list) {
        std::fprintf(stderr, "%s\n", own.error.c_str());
        return 1;
    }
    WavResult wav = LoadWav(wavPath);
    if (!wav.samples) {
        std::fprintf(stderr, "%s\n", wav.error.c_str());
        return 1;
    }
    const std::size_t totalSamples = wav.samples->size();
    std::string error;
    std::unique_ptr<Recogniser> recogniser =
        Recogniser::Create(*words.list, *own.list, config, error);
    if (!recogniser) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    const std::vector<VoiceCommand>& listed = words.list->commands;
    if (printUtterances) {
        recogniser->ObserveUtterances([&](const Utterance& u) {
            std::printf("utterance %8.2f-%8.2f s %4d frames %s %-10s %8.2f %s  %s\n",
                        static_cast<double>(u.start) / kSampleRate,
                        static_cast<double>(u.end) / kSampleRate, u.frames,
                        u.tooLong   ? "long"
                        : u.tooSoon ? "soon"
                                    : "    ",
                        u.candidate ? listed[u.command].word.c_str() : "-", u.confidence,
                        u.heard ? "HEARD" : "", u.phones.c_str());
        });
    }
    std::vector<Event> events;
    double computeSeconds = 0;
    SampleSource* pacedSource = nullptr;
    if (paced) {
        auto source = std::make_unique<SampleSource>(std::move(*wav.samples), true);
        pacedSource = source.get();
        std::mutex mutex;
        const std::vector<VoiceCommand>& commands = words.list->commands;
        VoiceInput input(*words.list, std::move(recogniser), std::move(source),
                         [&](unsigned char character, std::string_view word) {
                             const Clock::time_point now = Clock::now();
                             std::size_t c = 0;
                             while (c < commands.size() && !(commands[c].word == word &&
                                                             commands[c].character == character)) {
                                 ++c;
                             }
                             std::lock_guard lock(mutex);
                             events.push_back(Event{c, pacedSource->Position(), 0, now});
                         });
        kinemo::platform::ManualResetEvent done;
        input.OnFinished([&] { done.Set(); });
        input.Start();
        done.Wait();
        input.Stop();
    } else {
        const auto begin = Clock::now();
        std::vector<Heard> heard;
        const std::vector<std::int16_t>& s = *wav.samples;
        for (std::size_t pos = 0; pos < s.size(); pos += 320) {
            const std::size_t n = std::min<std::size_t>(320, s.size() - pos);
            heard.clear();
            recogniser->Process(std::span<const std::int16_t>(s.data() + pos, n), heard);
            for (const Heard& h : heard) {
                events.push_back(Event{h.command, h.sample, h.confidence, {}});
            }
        }
        heard.clear();
        recogniser->Flush(heard);
        for (const Heard& h : heard) {
            events.push_back(Event{h.command, h.sample, h.confidence, {}});
        }
        computeSeconds = std::chrono::duration<double>(Clock::now() - begin).count();
    }
    const double audioSeconds = static_cast<double>(totalSamples) / kSampleRate;
    const auto& commands = words.list->commands;

    if (mode == "quiet") {
        for (const Event& e : events) {
            std::printf("false trigger at %.2f s: %s (%.1f)\n",
                        static_cast<double>(e.sample) / kSampleRate,
                        commands[e.command].word.c_str(), e.margin);
        }
        std::printf("%zu false triggers in %.1f s = %.2f per five minutes\n", events.size(),
                    audioSeconds, static_cast<double>(events.size()) * 300.0 / audioSeconds);
        if (!paced) {
            std::printf("decoding took %.1f s (%.2f x real time)\n", computeSeconds,
                        computeSeconds / audioSeconds);
        }
        return 0;
    }

    bool labelled = false;
    const std::vector<Label> labels = ReadLabels(LabelsPath(wavPath), labelled);
    if (!labelled) {
        std::fprintf(stderr, "cannot read %s\n", LabelsPath(wavPath).c_str());
        return 1;
    }
    // A word's answer is the first word heard from its start until the next
    // word starts (at most 1.5 s after its end).
    std::size_t correct = 0, wrong = 0, missed = 0, extra = 0;
    std::vector<double> delays;
    std::vector<bool> used(events.size(), false);
    std::map<std::string, std::pair<std::size_t, std::size_t>> byVoice;  // correct, spoken
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const Label& l = labels[i];
        const std::size_t limit =
            std::min(l.end + 24000, i + 1 < labels.size() ? labels[i + 1].start : totalSamples);
        std::string result = "missed";
        for (std::size_t e = 0; e < events.size(); ++e) {
            if (used[e] || events[e].sample < l.start || events[e].sample > limit) {
                continue;
            }
            used[e] = true;
            if (result != "missed") {
                ++extra;
                continue;
            }
            if (commands[events[e].command].word == LowerWord(l.word)) {
                result = "ok";
                ++correct;
                double delay = 0;
                if (paced) {
                    delay = std::chrono::duration<double, std::milli>(
                                events[e].when - pacedSource->TimeOfSample(l.end))
                                .count();
                } else {
                    delay = 1000.0 *
                            (static_cast<double>(events[e].sample) - static_cast<double>(l.end)) /
                            kSampleRate;
                }
                delays.push_back(delay);
                char text[48];
                std::snprintf(text, sizeof text, "ok %+.0f ms (%.1f)", delay, events[e].margin);
                result = text;
            } else {
                result = "wrong: " + commands[events[e].command].word + " (" +
                         std::to_string(events[e].margin) + ")";
                ++wrong;
            }
        }
        if (result == "missed") {
            ++missed;
        }
        auto& group = byVoice[l.voice];
        group.second += 1;
        group.first += result.rfind("ok", 0) == 0 ? 1 : 0;
        std::printf("%-10s %-10s %-4s %s\n", l.word.c_str(), l.voice.c_str(), l.speed.c_str(),
                    result.c_str());
    }
    for (std::size_t e = 0; e < events.size(); ++e) {
        if (!used[e]) {
            ++extra;
        }
    }
    std::printf(
        "\n%zu spoken words: %zu correct (%.1f %%), %zu wrong, %zu missed, %zu heard "
        "where none was said\n",
        labels.size(), correct,
        100.0 * static_cast<double>(correct) / static_cast<double>(labels.size()), wrong, missed,
        extra);
    for (const auto& [voice, counts] : byVoice) {
        std::printf("  voice %-12s %3zu of %3zu correct (%.1f %%)\n", voice.c_str(), counts.first,
                    counts.second,
                    100.0 * static_cast<double>(counts.first) / static_cast<double>(counts.second));
    }
    std::printf(
        "delay from the end of a word to its character (%s): median %.0f ms, 95th "
        "percentile %.0f ms\n",
        paced ? "wall clock, paced" : "stream position, unpaced", Percentile(delays, 0.5),
        Percentile(delays, 0.95));
    if (!paced) {
        std::printf("decoding took %.1f s for %.1f s of sound (%.2f x real time)\n", computeSeconds,
                    audioSeconds, computeSeconds / audioSeconds);
    }
    return 0;
}
