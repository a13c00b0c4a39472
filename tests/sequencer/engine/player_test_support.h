// An in-memory interface for the player tests: scripts the Input word of every
// exchange and records every Motor output word sent.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "sequencer/engine/player.h"
#include "sequencer/engine/run_control.h"

namespace kinemo::engine::testing {

constexpr int kGenerousWaitMs = 20000;

class CountingListener : public RunEndedListener {
  public:
    void PostRunEnded() override { ++posts; }
    std::atomic<int> posts{0};
};

class ScriptedLink : public InterfaceLink {
  public:
    // Input word answered by exchange `index` (0 = the run's opening exchange).
    std::function<std::uint8_t(std::size_t index)> inputs;
    // Called after recording exchange `index`, before it answers.
    std::function<void(std::size_t index, std::uint32_t output)> onExchange;
    std::vector<std::uint32_t> outputs;

    std::uint32_t Exchange(std::uint32_t output) override {
        const std::size_t index = outputs.size();
        outputs.push_back(output);
        if (onExchange) {
            onExchange(index, output);
        }
        return inputs ? inputs(index) : 0U;
    }
};

// Collects what a FILE* receives.
class CapturedText {
  public:
    CapturedText() : file_(open_memstream(&text_, &size_)) {}
    ~CapturedText() {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
        std::free(text_);
    }
    CapturedText(const CapturedText&) = delete;
    CapturedText& operator=(const CapturedText&) = delete;

    std::FILE* File() { return file_; }
    std::string Text() {
        std::fflush(file_);
        return std::string(text_, size_);
    }

  private:
    char* text_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* file_;
};

}  // namespace kinemo::engine::testing
