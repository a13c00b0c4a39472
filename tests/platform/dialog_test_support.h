// The QApplication of the dialog-layer tests, a check that a window's texts
// are nowhere cut off, and a window's controls as text for comparing with a
// stored list.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>
#include <string>
#include <vector>

namespace kinemo::platform::testing {

// The application object, which main() creates (dialog_test_main.cpp).
inline QApplication& DialogTestApplication() {
    return *static_cast<QApplication*>(QCoreApplication::instance());
}

// Every text of `window`'s controls fits the room the style gives it inside
// the control, and every control lies inside the window. The window is laid
// out first, as showing it would.
inline void ExpectTextsFit(QWidget& window) {
    window.ensurePolished();
    if (window.layout() != nullptr) {
        window.layout()->activate();
    }
    for (QWidget* control : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (control->isHidden() || control->objectName().isEmpty()) {
            continue;
        }
        const std::string name = control->objectName().toStdString();
        EXPECT_TRUE(window.rect().contains(control->geometry())) << "control " << name;
        const QFontMetrics metrics = control->fontMetrics();
        QString text;
        QRect room;
        if (auto* label = qobject_cast<QLabel*>(control)) {
            if (!label->pixmap().isNull()) {
                EXPECT_GE(label->width(), label->pixmap().deviceIndependentSize().width());
                continue;
            }
            if (label->wordWrap()) {
                EXPECT_LE(label->heightForWidth(label->width()), label->height()) << name;
                continue;
            }
            text = label->text();
            room = label->contentsRect();
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const QStyle::SubElement contents =
                qobject_cast<QCheckBox*>(button)      ? QStyle::SE_CheckBoxContents
                : qobject_cast<QRadioButton*>(button) ? QStyle::SE_RadioButtonContents
                                                      : QStyle::SE_PushButtonContents;
            text = button->text();
            room = button->style()->subElementRect(contents, &option, button);
        } else if (auto* box = qobject_cast<QGroupBox*>(control)) {
            text = box->title();
            room = box->rect().adjusted(metrics.height() / 2, 0, -metrics.height() / 2, 0);
            room.setHeight(metrics.height());
        } else {
            continue;
        }
        text.remove(QLatin1Char('&'));
        while (text.endsWith(QLatin1Char('\n'))) {
            text.chop(1);
        }
        if (text.isEmpty()) {
            continue;
        }
        const QSize needed = metrics.size(Qt::TextExpandTabs, text);
        EXPECT_TRUE(room.width() >= needed.width() && room.height() >= needed.height())
            << "control " << name << " \"" << text.toStdString() << "\"";
    }
}

// One line per control with an id, in the order Tab visits them (the rest
// after): id, kind, text, and what is disabled, checked or selected.
inline std::string ControlInventory(QWidget& window) {
    std::vector<QWidget*> order;
    for (QWidget* w = window.nextInFocusChain(); w != &window; w = w->nextInFocusChain()) {
        if (w->parentWidget() == &window && !w->objectName().isEmpty()) {
            order.push_back(w);
        }
    }
    for (QWidget* w : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!w->objectName().isEmpty() && std::find(order.begin(), order.end(), w) == order.end()) {
            order.push_back(w);
        }
    }
    std::string lines;
    for (QWidget* w : order) {
        QString text;
        QString state = w->isEnabled() ? QString() : QStringLiteral(" disabled");
        if (auto* label = qobject_cast<QLabel*>(w)) {
            text = label->pixmap().isNull() ? label->text() : QStringLiteral("<picture>");
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            text = button->text();
            if (const QVariant bitmap = button->property("bitmap"); bitmap.isValid()) {
                state += QStringLiteral(" bitmap %1").arg(bitmap.toInt());
            }
            if (button->isChecked()) {
                state += QStringLiteral(" checked");
            }
        } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
            text = box->title();
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            text = edit->text();
            if (edit->maxLength() != QLineEdit().maxLength()) {
                state += QStringLiteral(" max %1").arg(edit->maxLength());
            }
        } else if (auto* slider = qobject_cast<QSlider*>(w)) {
            text = QStringLiteral("%1..%2").arg(slider->minimum()).arg(slider->maximum());
            state += QStringLiteral(" value %1").arg(slider->value());
        } else if (auto* list = qobject_cast<QListWidget*>(w)) {
            for (int i = 0; i < list->count(); ++i) {
                text += (i > 0 ? QStringLiteral(",") : QString()) + list->item(i)->text();
            }
            state += QStringLiteral(" selected %1").arg(list->currentRow());
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < combo->count(); ++i) {
                text += (i > 0 ? QStringLiteral(",") : QString()) + combo->itemText(i);
            }
            state += QStringLiteral(" selected %1").arg(combo->currentIndex());
        }
        text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        lines += QStringLiteral("%1 %2 \"%3\"%4\n")
                     .arg(w->objectName(), QString::fromLatin1(w->metaObject()->className()), text,
                          state)
                     .toStdString();
    }
    return lines;
}

// Compares `actual` with the stored file `path`; with KINEMO_UPDATE_EXPECTED
// set in the environment the file is rewritten instead.
inline void ExpectSameAsStored(const std::string& actual, const QString& path) {
    QFile file(path);
    if (qEnvironmentVariableIsSet("KINEMO_UPDATE_EXPECTED")) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(actual.data(), static_cast<qint64>(actual.size()));
        return;
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    EXPECT_EQ(actual, file.readAll().toStdString()) << "stored in " << path.toStdString();
}

}  // namespace kinemo::platform::testing
