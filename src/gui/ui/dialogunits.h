#pragma once

#include <QFont>
#include <QRect>

class QWidget;

namespace Tarnwick {

// Places widgets by dialog units, converted the way the original dialog templates were: x by a
// quarter of the font's average character width, y by an eighth of its character height. So
// the layout keeps its proportions with any font and any screen resolution.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int X(int units) const;
    int Y(int units) const;
    QRect Rect(int x, int y, int width, int height) const;
    // Puts the widget at the rectangle given in dialog units.
    void Place(QWidget* widget, int x, int y, int width, int height) const;

    int AverageCharWidth() const { return baseWidth_; }
    int CharHeight() const { return baseHeight_; }

private:
    int baseWidth_;
    int baseHeight_;
};

} // namespace Tarnwick
