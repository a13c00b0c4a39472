// Qt resource paths of the sequencer's program icon and button pictures.
//
// The pictures are 16 x 16; the disabled states of the switchable list
// buttons use the "on white" variants. They come from the library
// kinemo_sequencer_resources and are usable once InitResources() has run.
#pragma once

namespace kinemo::ui::resources {

// Registers the pictures with Qt; call before the first use (cheap, any
// number of times, from the thread that creates the windows).
void InitResources();

// Program icon 128, 32 x 32 and 16 x 16.
inline constexpr const char* kProgramIcon = ":/kinemo/icon128.png";
inline constexpr const char* kProgramIconSmall = ":/kinemo/icon128_16.png";

inline constexpr const char* kBitmap131Clipboard = ":/kinemo/bitmaps/131.png";
inline constexpr const char* kBitmap132TwoPages = ":/kinemo/bitmaps/132.png";
inline constexpr const char* kBitmap133Scissors = ":/kinemo/bitmaps/133.png";
inline constexpr const char* kBitmap134Cross = ":/kinemo/bitmaps/134.png";
inline constexpr const char* kBitmap135TwoPagesOnWhite = ":/kinemo/bitmaps/135.png";
inline constexpr const char* kBitmap136ScissorsOnWhite = ":/kinemo/bitmaps/136.png";
inline constexpr const char* kBitmap137CrossOnWhite = ":/kinemo/bitmaps/137.png";
inline constexpr const char* kBitmap138ClipboardOnWhite = ":/kinemo/bitmaps/138.png";
inline constexpr const char* kBitmap139NewEntry = ":/kinemo/bitmaps/139.png";
inline constexpr const char* kBitmap140NewEntryOnWhite = ":/kinemo/bitmaps/140.png";
inline constexpr const char* kBitmap141BlankPage = ":/kinemo/bitmaps/141.png";
inline constexpr const char* kBitmap142FloppyDisk = ":/kinemo/bitmaps/142.png";
inline constexpr const char* kBitmap143OpeningFolder = ":/kinemo/bitmaps/143.png";

inline constexpr int kFirstBitmap = 131;
inline constexpr int kLastBitmap = 143;

// Path of bitmap resource `number` (131..143); nullptr for any other number.
constexpr const char* BitmapPath(int number) {
    constexpr const char* kPaths[] = {
        kBitmap131Clipboard,       kBitmap132TwoPages,         kBitmap133Scissors,
        kBitmap134Cross,           kBitmap135TwoPagesOnWhite,  kBitmap136ScissorsOnWhite,
        kBitmap137CrossOnWhite,    kBitmap138ClipboardOnWhite, kBitmap139NewEntry,
        kBitmap140NewEntryOnWhite, kBitmap141BlankPage,        kBitmap142FloppyDisk,
        kBitmap143OpeningFolder,
    };
    if (number < kFirstBitmap || number > kLastBitmap)
        return nullptr;
    return kPaths[number - kFirstBitmap];
}

}  // namespace kinemo::ui::resources
