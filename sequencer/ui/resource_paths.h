// Qt resource paths of the sequencer's program icon and button pictures.
//
// The button pictures (bitmaps 131 to 143, 16 x 16) are found by number
// through the dialog layer (platform::BitmapPath). Everything comes from the
// library kinemo_sequencer_resources and is usable once InitResources() has
// run.
#pragma once

namespace kinemo::ui::resources {

// Registers the pictures with Qt; call before the first use (cheap, any
// number of times, from the thread that creates the windows).
void InitResources();

// Program icon 128, 32 x 32 and 16 x 16.
inline constexpr const char* kProgramIcon = ":/kinemo/icon128.png";
inline constexpr const char* kProgramIconSmall = ":/kinemo/icon128_16.png";

}  // namespace kinemo::ui::resources
