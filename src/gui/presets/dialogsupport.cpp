#include "dialogsupport.h"

#include "ui/dialogunits.h"

#include <QAbstractButton>
#include <QLabel>

namespace Tarnwick {

namespace {

// Room a check box needs beside its text for the box itself and the gap.
constexpr int CheckBoxIndicatorPixels = 24;

int TextPixels(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->fontMetrics().horizontalAdvance(label->text()) + 2;
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        QString text = button->text();
        text.remove(QLatin1Char('&'));
        return button->fontMetrics().horizontalAdvance(text) + CheckBoxIndicatorPixels;
    }
    return 0;
}

} // namespace

QFont SettingsDialogFont() {
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    return font;
}

void PlaceRightLabel(const DialogUnits& units, QLabel* label, int x, int y, int width, int height) {
    QRect box = units.Rect(x, y, width, height);
    const int needed = TextPixels(label);
    if (needed > box.width())
        box.setLeft(box.right() + 1 - needed);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setGeometry(box);
}

void PlaceFitted(const DialogUnits& units, QWidget* widget, int x, int y, int width, int height) {
    QRect box = units.Rect(x, y, width, height);
    box.setWidth(std::max(box.width(), TextPixels(widget)));
    widget->setGeometry(box);
}

} // namespace Tarnwick
