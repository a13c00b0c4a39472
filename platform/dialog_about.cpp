#include "platform/dialog_about.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace kinemo::platform {

AboutBox::AboutBox(const AboutBoxContent& content, QWidget* parent)
    : DialogWindow(content.title, content.widthUnits, content.heightUnits, parent) {
    setObjectName(QString::number(kAboutBoxResource));
    SetProgramIcon(content.iconPath);

    QLabel* icon = AddStatic(kAboutIconId, QString(), 11, 10, 21, 20);
    icon->setPixmap(QPixmap(content.iconPath));
    for (const AboutText& text : content.texts) {
        QLabel* label = AddStatic(text.id, text.text, text.x, text.y, text.w, text.h, text.align);
        label->setWordWrap(text.wordWrap);
    }

    QPushButton* ok = AddPushButton(kIdOk, QStringLiteral("OK"), 178, 7, 50, 14);
    ok->setDefault(true);
    ok->setFocus();
    OnClicked(kIdOk, [this] { accept(); });
}

}  // namespace kinemo::platform
