// The speech input behind the window's "Spracheingabe" box: loads the
// recogniser for a word list on a thread of its own (that takes a while, and
// the window must not stand still meanwhile), then listens on the
// recognition thread.
//
// Neither thread ever touches a widget or the dialog's data: a finished load
// and every heard word reach the window's thread as queued calls, where the
// callbacks run. A word carries the number of the listening it came from, so
// one heard just before the box was unchecked (or the list changed) is
// dropped. The microphone is listened to from the moment it is open; a sound
// file is played from the first run on, so its words fall into a run.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "keyboard/voice/voice_input.h"
#include "platform/threads.h"

namespace kinemo::keyboard::ui {

struct VoiceListenerCallbacks {
    // A word of the list was heard: its character and the word (UTF-8).
    std::function<void(std::uint8_t character, const QString& word)> heard;
    // The list or the source was refused (German, naming file and line);
    // listening is off then.
    std::function<void(const QString& message)> refused;
    // Loading started or ended (listening then, or refused).
    std::function<void()> stateChanged;
};

class VoiceListener : public QObject {
    Q_OBJECT

  public:
    // `wavPath` empty: the microphone; otherwise this sound file.
    VoiceListener(std::string wavPath, VoiceListenerCallbacks callbacks, QObject* parent = nullptr);
    // Stops listening and waits for a load in progress: no callback after.
    ~VoiceListener() override;
    VoiceListener(const VoiceListener&) = delete;
    VoiceListener& operator=(const VoiceListener&) = delete;

    // Listening on for `wordList` (loaded anew when it differs from the one
    // in use), or off. Returns at once.
    void Listen(const std::string& wordList);
    void Off();
    // Whether a run is on: a sound file waits for the first one.
    void SetRunOn(bool on);

    bool Loading() const { return loader_.Joinable(); }
    bool Listening() const { return input_ != nullptr; }
    const std::string& WavPath() const { return wavPath_; }

  protected:
    // Runs what the recognition thread posted: heard words, the end of a load.
    bool event(QEvent* event) override;

  private:
    struct Load;
    static void RunLoad(void* load);
    void StartLoad();
    void LoadDone();
    void StartListening();
    void WordHeard(std::uint64_t listening, std::uint8_t character, const QString& word);

    const std::string wavPath_;
    VoiceListenerCallbacks callbacks_;
    // What the window asks for: on, and for which list.
    bool wanted_ = false;
    std::string wantedList_;
    bool runOn_ = false;
    // The load in progress (at most one; a changed wish waits for its end).
    std::unique_ptr<Load> load_;
    platform::Thread loader_;
    // What is listening now, for which list, under which number.
    std::unique_ptr<voice::VoiceInput> input_;
    std::string listeningList_;
    std::uint64_t listening_ = 0;
    bool started_ = false;
};

}  // namespace kinemo::keyboard::ui
