#include "platform/joystick.h"

#include <SDL.h>

#include <algorithm>
#include <utility>

namespace kinemo::platform {
namespace {

SDL_Joystick* Sdl(void* joystick) {
    return static_cast<SDL_Joystick*>(joystick);
}

// Hundredths of a degree clockwise from forward for SDL's eight hat
// directions; index by the hat bits (up 1, right 2, down 4, left 8).
constexpr std::uint32_t kPovByHatBits[16] = {
    kJoystickHatCentred,  // centred
    0,                    // up
    9000,                 // right
    4500,                 // right-up
    18000,                // down
    kJoystickHatCentred,  // up + down: no direction
    13500,                // right-down
    kJoystickHatCentred,
    27000,  // left
    31500,  // left-up
    kJoystickHatCentred,
    kJoystickHatCentred,
    22500,  // left-down
    kJoystickHatCentred,
    kJoystickHatCentred,
    kJoystickHatCentred,
};

JoystickCaps CapsOf(SDL_Joystick* joystick) {
    JoystickCaps caps;
    if (joystick == nullptr) {
        return caps;
    }
    const char* name = SDL_JoystickName(joystick);
    caps.name = name != nullptr ? name : "";
    caps.axes =
        static_cast<unsigned>(std::clamp(SDL_JoystickNumAxes(joystick), 0, kJoystickMaxAxes));
    caps.buttons =
        static_cast<unsigned>(std::clamp(SDL_JoystickNumButtons(joystick), 0, kJoystickMaxButtons));
    caps.hasHat = SDL_JoystickNumHats(joystick) > 0;
    caps.mask = JoystickCapsMask(caps.axes, caps.hasHat);
    return caps;
}

}  // namespace

std::uint32_t JoystickCapsMask(unsigned axes, bool hasHat) {
    std::uint32_t mask = 0;
    if (axes >= 3) {
        mask |= kJoystickHasZ;
    }
    if (axes >= 4) {
        mask |= kJoystickHasR;
    }
    if (axes >= 5) {
        mask |= kJoystickHasU;
    }
    if (axes >= 6) {
        mask |= kJoystickHasV;
    }
    if (hasHat) {
        mask |= kJoystickHasPov;
    }
    return mask;
}

std::uint32_t PovFromSdlHat(std::uint8_t hat) {
    return kPovByHatBits[hat & 0x0FU];
}

std::uint8_t SdlHatFromPov(std::uint32_t pov) {
    switch (pov) {
        case 0:
            return SDL_HAT_UP;
        case 4500:
            return SDL_HAT_RIGHTUP;
        case 9000:
            return SDL_HAT_RIGHT;
        case 13500:
            return SDL_HAT_RIGHTDOWN;
        case 18000:
            return SDL_HAT_DOWN;
        case 22500:
            return SDL_HAT_LEFTDOWN;
        case 27000:
            return SDL_HAT_LEFT;
        case 31500:
            return SDL_HAT_LEFTUP;
        default:
            return SDL_HAT_CENTERED;
    }
}

bool IsPovDirection(std::uint32_t pov) {
    return pov == kJoystickHatCentred || (pov <= 31500 && pov % 4500 == 0);
}

JoystickSystem::JoystickSystem() {
    // Joystick state must follow the device while no window of ours has the
    // focus (the control thread reads it whatever the desktop does).
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
        const char* error = SDL_GetError();
        error_ = error != nullptr ? error : "SDL_InitSubSystem";
        return;
    }
    // Reads update the joysticks themselves; queued joystick events would
    // only pile up, since nobody pumps SDL's event queue.
    SDL_JoystickEventState(SDL_IGNORE);
    ok_ = true;
}

JoystickSystem::~JoystickSystem() {
    if (ok_) {
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }
}

int JoystickCount() {
    SDL_JoystickUpdate();  // takes in devices added or removed since the last look
    return std::max(SDL_NumJoysticks(), 0);
}

std::vector<JoystickCaps> ListJoysticks() {
    std::vector<JoystickCaps> list;
    const int count = JoystickCount();
    for (int i = 0; i < count; ++i) {
        SDL_Joystick* joystick = SDL_JoystickOpen(i);
        if (joystick == nullptr) {
            continue;
        }
        list.push_back(CapsOf(joystick));
        SDL_JoystickClose(joystick);
    }
    return list;
}

JoystickDevice::~JoystickDevice() {
    Close();
}

JoystickDevice::JoystickDevice(JoystickDevice&& other) noexcept {
    *this = std::move(other);
}

JoystickDevice& JoystickDevice::operator=(JoystickDevice&& other) noexcept {
    if (this != &other) {
        Close();
        joystick_ = std::exchange(other.joystick_, nullptr);
        axes_ = other.axes_;
        buttons_ = other.buttons_;
        hasHat_ = other.hasHat_;
    }
    return *this;
}

bool JoystickDevice::Open(int index) {
    Close();
    if (index < 0 || index >= JoystickCount()) {
        return false;
    }
    SDL_Joystick* joystick = SDL_JoystickOpen(index);
    if (joystick == nullptr) {
        return false;
    }
    joystick_ = joystick;
    const JoystickCaps caps = CapsOf(joystick);
    axes_ = static_cast<int>(caps.axes);
    buttons_ = static_cast<int>(caps.buttons);
    hasHat_ = caps.hasHat;
    return true;
}

void JoystickDevice::Close() {
    if (joystick_ != nullptr) {
        SDL_JoystickClose(Sdl(joystick_));
        joystick_ = nullptr;
    }
}

JoystickCaps JoystickDevice::Caps() const {
    return CapsOf(Sdl(joystick_));
}

bool JoystickDevice::Read(JoystickPosition& position) {
    if (joystick_ == nullptr) {
        return false;
    }
    SDL_Joystick* joystick = Sdl(joystick_);
    SDL_JoystickUpdate();
    if (SDL_JoystickGetAttached(joystick) != SDL_TRUE) {
        return false;
    }
    for (int axis = 0; axis < kJoystickMaxAxes; ++axis) {
        position.axes[axis] =
            axis < axes_ ? static_cast<std::uint32_t>(SDL_JoystickGetAxis(joystick, axis) + 32768)
                         : kJoystickAxisCentre;
    }
    std::uint32_t buttons = 0;
    for (int button = 0; button < buttons_; ++button) {
        if (SDL_JoystickGetButton(joystick, button) != 0) {
            buttons |= 1U << button;
        }
    }
    position.buttons = buttons;
    position.pov = hasHat_ ? PovFromSdlHat(SDL_JoystickGetHat(joystick, 0)) : kJoystickHatCentred;
    return true;
}

VirtualJoystick::~VirtualJoystick() {
    Detach();
}

bool VirtualJoystick::Attach(const std::string& name, int axes, int buttons, int hats) {
    Detach();
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    // The plain joystick type: SDL maps no game-controller layout onto it.
    desc.type = SDL_JOYSTICK_TYPE_UNKNOWN;
    desc.naxes = static_cast<Uint16>(std::clamp(axes, 0, kJoystickMaxAxes));
    desc.nbuttons = static_cast<Uint16>(std::clamp(buttons, 0, kJoystickMaxButtons));
    desc.nhats = static_cast<Uint16>(std::clamp(hats, 0, 1));
    desc.name = name.c_str();
    const int deviceIndex = SDL_JoystickAttachVirtualEx(&desc);
    if (deviceIndex < 0) {
        return false;
    }
    SDL_Joystick* joystick = SDL_JoystickOpen(deviceIndex);
    if (joystick == nullptr) {
        SDL_JoystickDetachVirtual(deviceIndex);
        return false;
    }
    joystick_ = joystick;
    instance_ = SDL_JoystickInstanceID(joystick);
    lastValid_ = false;
    axes_ = desc.naxes;
    buttons_ = desc.nbuttons;
    hats_ = desc.nhats;
    return true;
}

int VirtualJoystick::Index() const {
    if (joystick_ == nullptr) {
        return -1;
    }
    const int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == instance_) {
            return i;
        }
    }
    return -1;
}

void VirtualJoystick::Detach() {
    if (joystick_ == nullptr) {
        return;
    }
    const int index = Index();
    SDL_JoystickClose(Sdl(joystick_));
    joystick_ = nullptr;
    if (index >= 0) {
        SDL_JoystickDetachVirtual(index);
    }
    instance_ = -1;
}

void VirtualJoystick::Set(const JoystickPosition& position) {
    if (joystick_ == nullptr) {
        return;
    }
    SDL_Joystick* joystick = Sdl(joystick_);
    const bool all = !lastValid_;
    for (int axis = 0; axis < axes_; ++axis) {
        if (!all && position.axes[axis] == last_.axes[axis]) {
            continue;
        }
        const std::uint32_t value = std::min<std::uint32_t>(position.axes[axis], 65535);
        SDL_JoystickSetVirtualAxis(joystick, axis,
                                   static_cast<Sint16>(static_cast<int>(value) - 32768));
    }
    const std::uint32_t changed = all ? 0xFFFFFFFFU : position.buttons ^ last_.buttons;
    for (int button = 0; button < buttons_; ++button) {
        if (((changed >> button) & 1U) == 0) {
            continue;
        }
        SDL_JoystickSetVirtualButton(
            joystick, button,
            ((position.buttons >> button) & 1U) != 0 ? SDL_PRESSED : SDL_RELEASED);
    }
    if (hats_ > 0 && (all || position.pov != last_.pov)) {
        SDL_JoystickSetVirtualHat(joystick, 0, SdlHatFromPov(position.pov));
    }
    last_ = position;
    lastValid_ = true;
}

}  // namespace kinemo::platform
