// Qt resource paths of KinemoJoy's program icon (icon 128), from the library
// kinemo_joy_resources; usable once InitResources() has run.
#pragma once

namespace kinemo::joy::ui::resources {

// Registers the pictures with Qt; call before the first use (cheap, any
// number of times, from the thread that creates the windows).
void InitResources();

// Program icon 128, 32 x 32 and 16 x 16.
inline constexpr const char* kProgramIcon = ":/kinemo-joy/icon128.png";
inline constexpr const char* kProgramIconSmall = ":/kinemo-joy/icon128_16.png";

}  // namespace kinemo::joy::ui::resources
