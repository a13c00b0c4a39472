#include "joystick/joy_texts.h"

#include <cstdio>
#include <vector>

namespace kinemo::joy {
namespace {

// printf into a string of any length (product names are not limited).
std::string Printf(const char* format, const char* name, unsigned axes, unsigned buttons) {
    const int length = std::snprintf(nullptr, 0, format, name, axes, buttons);
    if (length < 0) {
        return {};
    }
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    std::snprintf(text.data(), text.size(), format, name, axes, buttons);
    return std::string(text.data(), static_cast<std::size_t>(length));
}

}  // namespace

std::string JoystickFoundText(const platform::JoystickCaps& caps) {
    return Printf(
        "Verbindung zum Joystick erfolgreich!\n\nTreiberbezeichnung: %s\nAchsen: %u\n"
        "Buttons: %u",
        caps.name.c_str(), caps.axes, caps.buttons);
}

std::string OtherJoystickText(const platform::JoystickCaps& caps) {
    return Printf(
        "\nTreiberbezeichnung: %s\nAchsen: %u\nButtons: %u\n\nAchtung:\nWenn dieser Joystick "
        "weniger/andere Funktionen als der bisher gespeicherte hat, kann es ggf. zu Fehlern beim "
        "Laden der Einstellungsdatei kommen.\nEvtl. müssen Sie dann die Einstellungen "
        "zurücksetzen oder notfalls auch die Einstellungsdatei \"settings.kmj\" löschen.",
        caps.name.c_str(), caps.axes, caps.buttons);
}

std::string MotorPanelTitle(int module, int panel) {
    char text[16];
    std::snprintf(text, sizeof text, "Motor %u", static_cast<unsigned>(module * 4 + panel + 1));
    return text;
}

}  // namespace kinemo::joy
