// The about box every program shows: its icon at the top left, its texts and
// OK as the default button. It closes only with OK, Escape or its close box.
// A program describes its box (AboutBoxContent) and derives its about dialog
// from AboutBox with nothing but a constructor, so the box it shows can be
// told from another program's; ShowAboutBox shows it.
#pragma once

#include <QString>
#include <vector>

#include "platform/dialog_window.h"

class QWidget;

namespace kinemo::platform {

// Dialog resource number of an about box (its objectName).
inline constexpr int kAboutBoxResource = 100;
// Control ids every about box has: the icon, the version line and the
// description; a program numbers its further texts on from 1204.
inline constexpr int kAboutIconId = 1201;
inline constexpr int kAboutVersionId = 1202;
inline constexpr int kAboutDescriptionId = 1203;

// The lines every program's about box says the same (UTF-8).
inline constexpr char kAboutDescriptionText[] =
    "Programm zur Ansteuerung des Baukasten- Interfaces mit variablen Motorgeschwindigkeiten";
inline constexpr char kAboutAuthorText[] = "© Kinemo-Projekt";
inline constexpr char kAboutContactText[] = "Kontakt: kontakt@kinemo-projekt.example";

// One text of an about box, at its rectangle in dialog units.
struct AboutText {
    int id;
    QString text;
    int x, y, w, h;
    Qt::Alignment align = Qt::AlignLeft;
    bool wordWrap = false;
};

// What a program's about box shows: its title and size in dialog units, the
// picture used as window icon and as the icon control, and its texts in order.
struct AboutBoxContent {
    QString title;
    int widthUnits = 235;
    int heightUnits = 95;
    QString iconPath;
    std::vector<AboutText> texts;
};

class AboutBox : public DialogWindow {
    Q_OBJECT

  public:
    explicit AboutBox(const AboutBoxContent& content, QWidget* parent = nullptr);
};

// Shows a program's about box `Box` (made with its parent) modally over
// `parent` and returns when it is closed.
template <class Box>
void ShowAboutBox(QWidget* parent) {
    Box box(parent);
    box.exec();
}

}  // namespace kinemo::platform
