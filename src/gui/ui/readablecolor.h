#pragma once

#include <QColor>
#include <initializer_list>

namespace Tarnwick {

// How well two colours read on each other: the ratio of their relative luminances as the web's
// accessibility guidelines define it, from 1 (the same) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);

// The first candidate that reads on background at least at ratio; when none does, the one
// that reads best. A fixed colour stays where the desktop's scheme lets it be read, and gives
// way to the scheme's own where it does not.
QColor ReadableOn(const QColor& background, std::initializer_list<QColor> candidates, double ratio);

} // namespace Tarnwick
