#include "sequencer/ui/about_dialog.h"

#include "kinemo/version.h"
#include "sequencer/ui/resource_paths.h"

namespace kinemo::ui {

platform::AboutBoxContent AboutContent() {
    resources::InitResources();
    return {QStringLiteral("Info über Kinemo"),
            235,
            95,
            QString::fromLatin1(resources::kProgramIcon),
            {
                {platform::kAboutVersionId,
                 QStringLiteral("Kinemo Version ") + QString::fromLatin1(version::kShortVersion),
                 40, 10, 130, 8},
                {platform::kAboutDescriptionId, QString::fromUtf8(platform::kAboutDescriptionText),
                 40, 22, 130, 26, Qt::AlignLeft, true},
                {kAboutAuthorId, QString::fromUtf8(platform::kAboutAuthorText), 40, 52, 188, 8},
                {kAboutContactId, QString::fromUtf8(platform::kAboutContactText), 40, 62, 188, 8},
                {kAboutWebId, QStringLiteral("https://kinemo-projekt.example"), 40, 72, 188, 8},
            }};
}

AboutDialog::AboutDialog(QWidget* parent) : AboutBox(AboutContent(), parent) {}

}  // namespace kinemo::ui
