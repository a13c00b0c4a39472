#include "keyboard/ui/about_dialog.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "keyboard/ui/resource_paths.h"

namespace kinemo::keyboard::ui {

AboutDialog::AboutDialog(QWidget* parent)
    : DialogWindow(QStringLiteral("Info über KinemoSpeech"), 235, 95, parent) {
    resources::InitResources();
    setObjectName(QString::number(kAboutDialogResource));
    SetProgramIcon(QString::fromLatin1(resources::kProgramIcon));

    QLabel* icon = AddStatic(kAboutIconId, QString(), 11, 10, 21, 20);
    icon->setPixmap(QPixmap(QString::fromLatin1(resources::kProgramIcon)));

    AddStatic(kAboutVersionId, QStringLiteral("KinemoSpeech Version 1.2"), 40, 10, 130, 8);
    QLabel* description =
        AddStatic(kAboutDescriptionId,
                  QStringLiteral("Programm zur Ansteuerung des Baukasten- Interfaces mit variablen "
                                 "Motorgeschwindigkeiten"),
                  40, 22, 130, 26);
    description->setWordWrap(true);
    AddStatic(kAboutAuthorId, QStringLiteral("© Kinemo-Projekt"), 40, 62, 130, 8);
    AddStatic(kAboutContactId, QStringLiteral("Kontakt: kontakt@kinemo-projekt.example"), 40, 72,
              135, 8);
    AddStatic(kAboutEditionId,
              QStringLiteral("Echtzeit-\nSprach/\nTastatur-\nsteuerungs-\nVersion!"), 178, 28, 50,
              42);

    QPushButton* ok = AddPushButton(platform::kIdOk, QStringLiteral("OK"), 178, 7, 50, 14);
    ok->setDefault(true);
    ok->setFocus();
    OnClicked(platform::kIdOk, [this] { accept(); });
}

void ShowAboutDialog(QWidget* parent) {
    AboutDialog dialog(parent);
    dialog.exec();
}

}  // namespace kinemo::keyboard::ui
