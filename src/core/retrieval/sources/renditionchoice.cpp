#include "renditionchoice.h"

#include <algorithm>
#include <numeric>

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

} // namespace

int ChooseRendition(const QList<RenditionSize>& sizes, VideoQuality quality) {
    if (sizes.isEmpty())
        return -1;
    QList<int> order(sizes.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&sizes](int a, int b) {
        if (sizes[a].pixels != sizes[b].pixels)
            return sizes[a].pixels < sizes[b].pixels;
        return sizes[a].bandwidth < sizes[b].bandwidth;
    });
    return order[RankWanted(order.size(), quality)];
}

QString RenditionChoiceText(const QList<RenditionSize>& sizes, int chosen, VideoQuality quality) {
    if (sizes.size() < 2 || chosen < 0 || chosen >= sizes.size())
        return QString();
    const char* which = quality == VideoQuality::HighMp4   ? "largest"
                        : quality == VideoQuality::HighFlv ? "middle"
                                                           : "smallest";
    const QString label = sizes[chosen].label;
    return QStringLiteral("%1%2 of %3")
        .arg(label.isEmpty() ? QString() : label + QStringLiteral(", "), QLatin1String(which),
             QString::number(sizes.size()));
}

} // namespace Tarnwick
