#include "renditionchoice.h"

#include <QRegularExpression>

namespace Tarnwick {

int HeightSpelledIn(const QString& text) {
    // A height only where the text spells one, so that the 12 of "Episode 12" is not taken
    // for it.
    static const QRegularExpression pattern(
        QStringLiteral("(?:\\d{2,5}x(\\d{2,5}))|(?:(\\d{3,4})p)(?![A-Za-z_])"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return 0;
    const int height = (match.captured(1).isEmpty() ? match.captured(2) : match.captured(1)).toInt();
    return height <= 100000 ? height : 0;
}

} // namespace Tarnwick
