#include "keyboard/ui/voice_listener.h"

#include <string_view>

#include "platform/dialog_events.h"

namespace kinemo::keyboard::ui {

// One load: filled in on the loader thread, read on the window's thread
// after the loader has been joined.
struct VoiceListener::Load {
    VoiceListener* owner = nullptr;
    voice::VoiceSetup setup;
    std::uint64_t number = 0;
    std::unique_ptr<voice::VoiceInput> input;
    std::string error;
};

VoiceListener::VoiceListener(std::string wavPath, VoiceListenerCallbacks callbacks, QObject* parent)
    : QObject(parent), wavPath_(std::move(wavPath)), callbacks_(std::move(callbacks)) {}

VoiceListener::~VoiceListener() {
    // The recognition thread first (no word after this), then the loader,
    // whose result is dropped with it; queued calls die with this object.
    input_.reset();
    if (loader_.Joinable()) {
        loader_.Join();
    }
    load_.reset();
}

void VoiceListener::Listen(const std::string& wordList) {
    wanted_ = true;
    wantedList_ = wordList;
    if (input_ != nullptr && listeningList_ == wordList) {
        return;
    }
    input_.reset();
    started_ = false;
    if (!Loading()) {
        StartLoad();
    }
    if (callbacks_.stateChanged) {
        callbacks_.stateChanged();
    }
}

void VoiceListener::Off() {
    wanted_ = false;
    input_.reset();
    started_ = false;
    if (callbacks_.stateChanged) {
        callbacks_.stateChanged();
    }
}

void VoiceListener::SetRunOn(bool on) {
    runOn_ = on;
    if (on && input_ != nullptr && !started_) {
        StartListening();
    }
}

void VoiceListener::StartLoad() {
    load_ = std::make_unique<Load>();
    load_->owner = this;
    load_->setup.wordListPath = wantedList_;
    load_->setup.wavPath = wavPath_;
    load_->setup.microphone = wavPath_.empty();
    load_->number = ++listening_;
    loader_ = platform::Thread(&VoiceListener::RunLoad, load_.get());
}

void VoiceListener::RunLoad(void* self) {
    Load* load = static_cast<Load*>(self);
    VoiceListener* owner = load->owner;
    const std::uint64_t number = load->number;
    // Runs on the recognition thread: the word goes to the window's thread.
    auto onWord = [owner, number](unsigned char character, std::string_view word) {
        const QString text = QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size()));
        platform::PostCall(
            owner, [owner, number, character, text] { owner->WordHeard(number, character, text); });
    };
    load->input = voice::CreateVoiceInput(load->setup, onWord, load->error);
    platform::PostCall(owner, [owner] { owner->LoadDone(); });
}

bool VoiceListener::event(QEvent* event) {
    return platform::RunPostedCall(event) || QObject::event(event);
}

void VoiceListener::LoadDone() {
    loader_.Join();
    const std::unique_ptr<Load> load = std::move(load_);
    if (!wanted_ || wantedList_ != load->setup.wordListPath) {
        // Switched off or to another list meanwhile: this one is not needed.
        if (wanted_) {
            StartLoad();
        }
    } else if (load->input == nullptr) {
        wanted_ = false;
        if (callbacks_.refused) {
            callbacks_.refused(QString::fromStdString(load->error));
        }
    } else {
        input_ = std::move(load->input);
        listeningList_ = load->setup.wordListPath;
        listening_ = load->number;
        started_ = false;
        // A microphone is heard from now on (its sound must not pile up
        // unheard); a file waits for a run.
        if (wavPath_.empty() || runOn_) {
            StartListening();
        }
    }
    if (callbacks_.stateChanged) {
        callbacks_.stateChanged();
    }
}

void VoiceListener::StartListening() {
    started_ = true;
    input_->Start();
}

void VoiceListener::WordHeard(std::uint64_t listening, std::uint8_t character,
                              const QString& word) {
    if (input_ == nullptr || listening != listening_ || !callbacks_.heard) {
        return;  // from a listening that has been switched off
    }
    callbacks_.heard(character, word);
}

}  // namespace kinemo::keyboard::ui
