// Synthetic German speech for tests, made by scripts/make-test-speech.sh
// (espeak-ng and sox, nothing downloaded) once per test program in a folder
// of its own that goes away at the program's end.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace kinemo::voice::testing {

inline constexpr char kShippedWordList[] = KINEMO_SOURCE_DIR "/keyboard/voice/data/befehle.txt";
// What the spoken commands type with the shipped list, in spoken order.
inline constexpr char kSpokenTyped[] = "aslx";
inline constexpr char kSpokenWords[] = "links schneller langsamer stopp ";

// "links", "schneller", "langsamer" and "stopp", spoken once, in speech.wav.
class TestSpeech {
  public:
    static const TestSpeech& Get() {
        static const TestSpeech speech;
        return speech;
    }
    ~TestSpeech() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    bool Made() const { return made_; }
    std::string File(const std::string& name) const { return (folder_ / name).string(); }
    std::string Commands() const { return File("speech.wav"); }
    // Runs the generator with `arguments` (see the script); false on failure.
    bool Make(const std::string& arguments) const {
        const std::string script = "bash '" KINEMO_SOURCE_DIR "/scripts/make-test-speech.sh' ";
        return std::system((script + arguments).c_str()) == 0;
    }

  private:
    TestSpeech()
        : folder_(std::filesystem::temp_directory_path() /
                  ("kinemo-speech-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(folder_);
        std::ofstream(File("spoken.txt")) << "links a\nschneller s\nlangsamer l\nstopp x\n";
        made_ = Make("commands '" + Commands() + "' '" + File("spoken.txt") +
                     "' --voices de --speeds 150 --noise 0.01");
    }

    std::filesystem::path folder_;
    bool made_ = false;
};

}  // namespace kinemo::voice::testing
