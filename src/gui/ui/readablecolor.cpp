#include "readablecolor.h"

#include <algorithm>
#include <cmath>

namespace Tarnwick {

namespace {

double Linear(double channel) {
    return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& color) {
    const QColor rgb = color.toRgb();
    return 0.2126 * Linear(rgb.redF()) + 0.7152 * Linear(rgb.greenF()) + 0.0722 * Linear(rgb.blueF());
}

} // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double first = Luminance(a);
    const double second = Luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor ReadableOn(const QColor& background, std::initializer_list<QColor> candidates, double ratio) {
    QColor best;
    double bestRatio = 0;
    for (const QColor& candidate : candidates) {
        const double contrast = ContrastRatio(candidate, background);
        if (contrast >= ratio)
            return candidate;
        if (contrast > bestRatio) {
            bestRatio = contrast;
            best = candidate;
        }
    }
    return best;
}

} // namespace Tarnwick
