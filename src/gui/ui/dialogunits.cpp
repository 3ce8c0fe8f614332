#include "dialogunits.h"

#include <QFontMetrics>
#include <QWidget>

namespace Tarnwick {

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average over the 52 letters, rounded as the original platform rounds it.
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseWidth_ = (letters / 26 + 1) / 2;
    baseHeight_ = metrics.height();
}

int DialogUnits::X(int units) const {
    return units * baseWidth_ / 4;
}

int DialogUnits::Y(int units) const {
    return units * baseHeight_ / 8;
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
    return QRect(X(x), Y(y), X(width), Y(height));
}

void DialogUnits::Place(QWidget* widget, int x, int y, int width, int height) const {
    widget->setGeometry(Rect(x, y, width, height));
}

} // namespace Tarnwick
