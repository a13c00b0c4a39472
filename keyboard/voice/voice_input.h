// Speech input: a thread of its own reads sound from a source, runs the
// recogniser and hands each heard word's key character (and the word, for the
// window) to a callback, on that thread, in the order the words were said.
// The callback is where the key handler is called, exactly as for a typed
// character; it must not block for long, since sound keeps coming.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "keyboard/voice/audio_source.h"
#include "keyboard/voice/recogniser.h"
#include "keyboard/voice/word_list.h"
#include "platform/threads.h"

namespace kinemo::voice {

using VoiceCallback = std::function<void(unsigned char character, std::string_view word)>;

// What the program ships: the pronunciation list beside the example word
// lists, in share/kinemo/voice of the installation.
inline constexpr const char* kPronunciationFileName = "aussprache.dict";

class VoiceInput {
  public:
    VoiceInput(WordList list, std::unique_ptr<Recogniser> recogniser,
               std::unique_ptr<AudioSource> source, VoiceCallback onWord);
    // Stops and joins the thread.
    ~VoiceInput();
    VoiceInput(const VoiceInput&) = delete;
    VoiceInput& operator=(const VoiceInput&) = delete;

    // Starts listening on the recognition thread; once only.
    void Start();
    // Ends listening from any thread and waits for the recognition thread;
    // no callback comes after Stop returns.
    void Stop();
    // True once the source has ended (a WAV file played to its end) or Stop
    // was called.
    bool Finished() const { return finished_.load(std::memory_order_acquire); }
    // Called (on the recognition thread) when the source has ended by itself.
    void OnFinished(std::function<void()> onFinished) { onFinished_ = std::move(onFinished); }

    const WordList& Words() const { return list_; }

  private:
    static void Run(void* self);

    WordList list_;
    std::unique_ptr<Recogniser> recogniser_;
    std::unique_ptr<AudioSource> source_;
    VoiceCallback onWord_;
    std::function<void()> onFinished_;
    platform::Thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> finished_{false};
};

// Everything a program needs to listen: the word list file, the
// pronunciation list (empty: the shipped one, see FindPronunciationFile) and
// the source ("" microphone name for the default device, or a WAV file).
struct VoiceSetup {
    std::string wordListPath;
    std::string pronunciationPath;
    std::string wavPath;      // when set, the source is this file, paced as if spoken
    bool microphone = false;  // otherwise the microphone
    std::string microphoneName;
    RecogniserConfig recogniser;
};

// The shipped pronunciation list: $KINEMO_VOICE_DATA, the build's data folder
// or share/kinemo/voice beside the program's folder, the first that has it.
std::string FindPronunciationFile();

// Reads the lists, sets up the recogniser and opens the source. Null with a
// German message (naming the file and line) on any failure.
std::unique_ptr<VoiceInput> CreateVoiceInput(const VoiceSetup& setup, VoiceCallback onWord,
                                             std::string& error);

}  // namespace kinemo::voice
