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
// Options:
//   --paced             play the file at speaking pace through VoiceInput and
//                       measure the delay from each word's end to its
//                       character reaching the callback (median, 95th pct.)
//   --pronunciations F  another pronunciation list (default: the shipped one)
//   --threshold T       the same threshold for every word, instead of the list's
//   --delay FRAMES      the spotter's report delay (default 10)
//   --loop P            the phone loop probability (default 0.1)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
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
                 "[--pronunciations F] [--threshold T] [--delay N] [--loop P]\n");
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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        return Usage();
    }
    const std::string mode = argv[1];
    const std::string listPath = argv[2];
    const std::string wavPath = argv[3];
    bool paced = false;
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
        } else if (i + 1 < argc && a == "--delay") {
            config.reportDelayFrames = std::stoi(argv[++i]);
        } else if (i + 1 < argc && a == "--loop") {
            config.phoneLoopProbability = std::stod(argv[++i]);
        } else {
            return Usage();
        }
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
                events.push_back(Event{h.command, h.sample, h.seconds, {}});
            }
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

    std::vector<Label> labels;
    {
        std::string labelsPath = wavPath.substr(0, wavPath.size() - 4) + ".labels";
        std::ifstream in(labelsPath);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", labelsPath.c_str());
            return 1;
        }
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            Label l;
            if (fields >> l.start >> l.end >> l.word >> l.voice >> l.speed) {
                labels.push_back(l);
            }
        }
    }
    // A word's answer is the first word heard from its start until the next
    // word starts (at most 1.5 s after its end).
    std::size_t correct = 0, wrong = 0, missed = 0, extra = 0;
    std::vector<double> delays;
    std::vector<bool> used(events.size(), false);
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
