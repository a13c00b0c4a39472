#include "sequencer/ui/about_dialog.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "kinemo/version.h"
#include "sequencer/ui/resource_paths.h"

namespace kinemo::ui {

AboutDialog::AboutDialog(QWidget* parent)
    : DialogWindow(QStringLiteral("Info über Kinemo"), 235, 95, parent) {
    resources::InitResources();
    setObjectName(QString::number(kAboutDialogResource));
    SetProgramIcon(QString::fromLatin1(resources::kProgramIcon));

    QLabel* icon = AddStatic(kAboutIconId, QString(), 11, 10, 21, 20);
    icon->setPixmap(QPixmap(QString::fromLatin1(resources::kProgramIcon)));

    AddStatic(kAboutVersionId,
              QStringLiteral("Kinemo Version ") + QString::fromLatin1(version::kShortVersion), 40,
              10, 130, 8);
    QLabel* description =
        AddStatic(kAboutDescriptionId,
                  QStringLiteral("Programm zur Ansteuerung des Baukasten- Interfaces mit variablen "
                                 "Motorgeschwindigkeiten"),
                  40, 22, 130, 26);
    description->setWordWrap(true);
    description->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    AddStatic(kAboutAuthorId, QStringLiteral("© Kinemo-Projekt"), 40, 52, 188, 8);
    AddStatic(kAboutContactId, QStringLiteral("Kontakt: kontakt@kinemo-projekt.example"), 40, 62,
              188, 8);
    AddStatic(kAboutWebId, QStringLiteral("https://kinemo-projekt.example"), 40, 72, 188, 8);

    QPushButton* ok = AddPushButton(platform::kIdOk, QStringLiteral("OK"), 178, 7, 50, 14);
    ok->setDefault(true);
    ok->setFocus();
    OnClicked(platform::kIdOk, [this] { accept(); });
}

void ShowAboutDialog(QWidget* parent) {
    AboutDialog dialog(parent);
    dialog.exec();
}

}  // namespace kinemo::ui
