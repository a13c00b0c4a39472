#include "platform/dialog_about.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace kinemo::platform {

void BuildAboutBox(DialogWindow& dialog, const QString& iconPath, int iconId,
                   std::span<const AboutText> texts) {
    dialog.setObjectName(QString::number(kAboutBoxResource));
    dialog.SetProgramIcon(iconPath);

    QLabel* icon = dialog.AddStatic(iconId, QString(), 11, 10, 21, 20);
    icon->setPixmap(QPixmap(iconPath));
    for (const AboutText& text : texts) {
        QLabel* label =
            dialog.AddStatic(text.id, text.text, text.x, text.y, text.w, text.h, text.align);
        label->setWordWrap(text.wordWrap);
    }

    QPushButton* ok = dialog.AddPushButton(kIdOk, QStringLiteral("OK"), 178, 7, 50, 14);
    ok->setDefault(true);
    ok->setFocus();
    dialog.OnClicked(kIdOk, [&dialog] { dialog.accept(); });
}

}  // namespace kinemo::platform
