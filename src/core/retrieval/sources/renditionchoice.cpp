#include "renditionchoice.h"

#include <QRegularExpression>
#include <algorithm>

namespace Tarnwick {

namespace {

qsizetype RankWanted(qsizetype count, VideoQuality quality) {
    switch (quality) {
    case VideoQuality::Standard:
        return 0;
    case VideoQuality::HighFlv:
        return (count - 1) / 2;
    case VideoQuality::HighMp4:
        return count - 1;
    }
    return 0;
}

bool HasSize(const RenditionSize& size) {
    return size.pixels > 0 || size.bandwidth > 0;
}

} // namespace

int ChooseRendition(const QList<RenditionSize>& sizes, VideoQuality quality) {
    if (sizes.isEmpty())
        return -1;
    QList<int> order;
    for (int i = 0; i < sizes.size(); ++i)
        if (HasSize(sizes[i]))
            order.append(i);
    if (order.isEmpty())
        return 0;
    std::stable_sort(order.begin(), order.end(), [&sizes](int a, int b) {
        if (sizes[a].pixels != sizes[b].pixels)
            return sizes[a].pixels < sizes[b].pixels;
        return sizes[a].bandwidth < sizes[b].bandwidth;
    });
    return order[RankWanted(order.size(), quality)];
}

QString RenditionChoiceText(const QList<RenditionSize>& sizes, int chosen, VideoQuality quality) {
    if (sizes.size() < 2 || chosen < 0 || chosen >= sizes.size() || !HasSize(sizes[chosen]))
        return QString();
    const char* which = quality == VideoQuality::HighMp4   ? "largest"
                        : quality == VideoQuality::HighFlv ? "middle"
                                                           : "smallest";
    const QString label = sizes[chosen].label;
    return QStringLiteral("%1%2 of %3")
        .arg(label.isEmpty() ? QString() : label + QStringLiteral(", "), QLatin1String(which),
             QString::number(sizes.size()));
}

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
