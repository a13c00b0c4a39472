// Joystick layer: capabilities and positions of the joysticks the system
// reports, on the SDL joystick subsystem (no video).
//
// Joystick 0 is the first joystick SDL lists. A position holds the six axes X,
// Y, Z, R, U, V as 0..65535 (SDL's signed value + 32768: centre 32768, full
// deflection 0 or 65535; axes the joystick lacks read 32768), the buttons as a
// bit mask (bit b while button b + 1 is held, at most 32 buttons) and the first
// hat in hundredths of a degree clockwise from forward (up 0, up-right 4500,
// ..., up-left 31500; 65535 when centred or when there is no hat).
//
// Reads work from any thread and without window focus: each read first lets
// SDL update the joystick itself (SDL_JoystickUpdate), and SDL's event queue
// is not used, so nothing piles up while nobody pumps events.
//
// A virtual joystick (VirtualJoystick) appears in the same list and is read
// through the same path as a real one; tests and the replay use it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kinemo::platform {

inline constexpr int kJoystickMaxAxes = 6;
inline constexpr int kJoystickMaxButtons = 32;
inline constexpr std::uint32_t kJoystickAxisCentre = 32768;
inline constexpr std::uint32_t kJoystickHatCentred = 65535;

// Capability mask bits, as stored in the settings file.
inline constexpr std::uint32_t kJoystickHasZ = 1U << 0;
inline constexpr std::uint32_t kJoystickHasR = 1U << 1;
inline constexpr std::uint32_t kJoystickHasU = 1U << 2;
inline constexpr std::uint32_t kJoystickHasV = 1U << 3;
inline constexpr std::uint32_t kJoystickHasPov = 1U << 4;

struct JoystickCaps {
    std::string name;        // the product name SDL reports ("" if none)
    unsigned axes = 0;       // at most kJoystickMaxAxes
    unsigned buttons = 0;    // at most kJoystickMaxButtons
    bool hasHat = false;     // the first hat is used
    std::uint32_t mask = 0;  // kJoystickHasZ ... kJoystickHasPov
};

// Capability mask for these counts: Z, R, U, V as far as there are axes.
std::uint32_t JoystickCapsMask(unsigned axes, bool hasHat);

struct JoystickPosition {
    std::array<std::uint32_t, kJoystickMaxAxes> axes{kJoystickAxisCentre, kJoystickAxisCentre,
                                                     kJoystickAxisCentre, kJoystickAxisCentre,
                                                     kJoystickAxisCentre, kJoystickAxisCentre};
    std::uint32_t buttons = 0;
    std::uint32_t pov = kJoystickHatCentred;

    friend bool operator==(const JoystickPosition&, const JoystickPosition&) = default;
};

// Hat in hundredths of a degree for SDL's hat bits, and back (a value that is
// not one of the nine directions gives centred).
std::uint32_t PovFromSdlHat(std::uint8_t hat);
std::uint8_t SdlHatFromPov(std::uint32_t pov);
// True for 0, 4500, ..., 31500 and 65535.
bool IsPovDirection(std::uint32_t pov);

// Keeps SDL's joystick subsystem initialised while it lives (counted, so
// several may exist). Construct one before any other call of this layer; it
// sets the hint for reads without window focus first.
class JoystickSystem {
  public:
    JoystickSystem();
    ~JoystickSystem();
    JoystickSystem(const JoystickSystem&) = delete;
    JoystickSystem& operator=(const JoystickSystem&) = delete;

    // False when SDL could not initialise its joystick subsystem.
    bool Ok() const { return ok_; }
    const std::string& Error() const { return error_; }

  private:
    bool ok_ = false;
    std::string error_;
};

// The joysticks present now, in SDL's order (index 0 is joystick 0).
int JoystickCount();
std::vector<JoystickCaps> ListJoysticks();

// One opened joystick.
class JoystickDevice {
  public:
    JoystickDevice() = default;
    ~JoystickDevice();
    JoystickDevice(const JoystickDevice&) = delete;
    JoystickDevice& operator=(const JoystickDevice&) = delete;
    JoystickDevice(JoystickDevice&& other) noexcept;
    JoystickDevice& operator=(JoystickDevice&& other) noexcept;

    // Opens joystick `index` of the current list; false if there is none.
    bool Open(int index);
    void Close();
    bool IsOpen() const { return joystick_ != nullptr; }

    // Capabilities of the open joystick (empty when none is open).
    JoystickCaps Caps() const;
    // Updates and reads the joystick. False when it is not open or has gone
    // (unplugged); `position` is then left as it was. Allocates nothing.
    bool Read(JoystickPosition& position);

  private:
    void* joystick_ = nullptr;  // SDL_Joystick*
    int axes_ = 0;
    int buttons_ = 0;
    bool hasHat_ = false;
};

// A virtual joystick in SDL's list, detached on destruction. Set stores a
// position that the next JoystickDevice::Read of this joystick returns.
class VirtualJoystick {
  public:
    VirtualJoystick() = default;
    ~VirtualJoystick();
    VirtualJoystick(const VirtualJoystick&) = delete;
    VirtualJoystick& operator=(const VirtualJoystick&) = delete;

    // Attaches a joystick with these counts (axes 0..6, buttons 0..32, hats
    // 0 or 1) and opens it for Set. False on failure.
    bool Attach(const std::string& name, int axes, int buttons, int hats);
    void Detach();
    bool Attached() const { return joystick_ != nullptr; }
    // The index of this joystick in the current list (-1 if not attached).
    int Index() const;

    // Sets every axis, button and the hat; values outside the joystick's
    // counts are ignored. Only what changed since the last Set goes to SDL.
    // Allocates nothing.
    void Set(const JoystickPosition& position);

  private:
    JoystickPosition last_{};
    bool lastValid_ = false;
    void* joystick_ = nullptr;  // SDL_Joystick* opened on the virtual device
    std::int32_t instance_ = -1;
    int axes_ = 0;
    int buttons_ = 0;
    int hats_ = 0;
};

}  // namespace kinemo::platform
