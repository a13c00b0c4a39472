#include "joystick/ui/about_dialog.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "joystick/ui/resource_paths.h"

namespace kinemo::joy::ui {

AboutDialog::AboutDialog(QWidget* parent)
    : DialogWindow(QString::fromUtf8(kAboutTitle), 235, 100, parent) {
    resources::InitResources();
    setObjectName(QString::number(kAboutDialogResource));
    SetProgramIcon(QString::fromLatin1(resources::kProgramIcon));

    QLabel* icon = AddStatic(kAboutIconId, QString(), 11, 10, 21, 20);
    icon->setPixmap(QPixmap(QString::fromLatin1(resources::kProgramIcon)));

    AddStatic(kAboutVersionId, QString::fromUtf8(kAboutVersion), 40, 10, 130, 8);
    QLabel* description =
        AddStatic(kAboutDescriptionId, QString::fromUtf8(kAboutDescription), 40, 22, 130, 26);
    description->setWordWrap(true);
    // The note stands under the icon, one word a line.
    AddStatic(kAboutNoteId, QString::fromUtf8(kAboutNote), 5, 36, 34, 26, Qt::AlignHCenter);

    AddStatic(kAboutAuthorId, QStringLiteral("© Kinemo-Projekt"), 40, 58, 188, 8);
    AddStatic(kAboutContactId, QStringLiteral("Kontakt: kontakt@kinemo-projekt.example"), 40, 70,
              188, 8);

    QPushButton* ok = AddPushButton(platform::kIdOk, QStringLiteral("OK"), 178, 7, 50, 14);
    ok->setDefault(true);
    ok->setFocus();
    OnClicked(platform::kIdOk, [this] { accept(); });
}

void ShowAboutDialog(QWidget* parent) {
    AboutDialog dialog(parent);
    dialog.exec();
}

}  // namespace kinemo::joy::ui
