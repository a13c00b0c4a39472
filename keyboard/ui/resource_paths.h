// Qt resource paths of KinemoSpeech's program icon (library
// kinemo_speech_resources), usable once InitResources() has run.
#pragma once

namespace kinemo::keyboard::ui::resources {

// Registers the pictures with Qt; cheap, any number of times, from the thread
// that creates the windows.
void InitResources();

// Program icon 128, 32 x 32 and 16 x 16.
inline constexpr const char* kProgramIcon = ":/kinemo-speech/icon128.png";
inline constexpr const char* kProgramIconSmall = ":/kinemo-speech/icon128_16.png";

}  // namespace kinemo::keyboard::ui::resources
