#include "picturechoice.h"

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

const char* WhichText(VideoQuality quality) {
    return quality == VideoQuality::HighMp4   ? "largest"
           : quality == VideoQuality::HighFlv ? "middle"
                                              : "smallest";
}

// The best of the offers at the given positions, by the order within one height.
int BestOf(const QList<OfferedPicture>& offers, const QList<int>& candidates, const PictureWish& wish) {
    const bool preferSmall = wish.quality == VideoQuality::Standard;
    const auto better = [&](const OfferedPicture& a, const OfferedPicture& b) {
        if (!wish.preferredCodec.isEmpty()) {
            const bool aWanted = a.codec == wish.preferredCodec;
            if (aWanted != (b.codec == wish.preferredCodec))
                return aWanted;
        }
        if (a.preference != b.preference)
            return a.preference < b.preference;
        if (a.bandwidth != b.bandwidth)
            return preferSmall ? a.bandwidth < b.bandwidth : a.bandwidth > b.bandwidth;
        return false;
    };
    int best = -1;
    for (const int index : candidates) {
        if (best < 0 || better(offers[index], offers[best]))
            best = index;
    }
    return best;
}

// Offers that state no height: ranked by bandwidth alone, each its own step.
int ChooseUnsized(const QList<OfferedPicture>& offers, VideoQuality quality) {
    QList<int> order;
    for (int i = 0; i < offers.size(); ++i)
        if (offers[i].bandwidth > 0)
            order.append(i);
    if (order.isEmpty())
        return 0; // nothing to rank by: the first, as a player would start with it
    std::stable_sort(order.begin(), order.end(),
                     [&offers](int a, int b) { return offers[a].bandwidth < offers[b].bandwidth; });
    return order[RankWanted(order.size(), quality)];
}

} // namespace

PictureChoice ChoosePicture(const QList<OfferedPicture>& offers, const PictureWish& wish) {
    PictureChoice choice;
    if (offers.isEmpty())
        return choice;
    // A chosen format the address no longer offers gives way to the rule, and the text says so.
    QString gone;
    if (!wish.exactFormat.isEmpty()) {
        for (int i = 0; i < offers.size(); ++i) {
            if (offers[i].id == wish.exactFormat) {
                choice.index = i;
                choice.text = QStringLiteral("format %1 as chosen").arg(offers[i].id);
                return choice;
            }
        }
        gone = QStringLiteral("format %1 is not offered; ").arg(wish.exactFormat);
    }
    QList<int> heights;
    for (const OfferedPicture& offer : offers)
        if (offer.height > 0 && !heights.contains(offer.height))
            heights.append(offer.height);
    if (heights.isEmpty()) {
        choice.index = ChooseUnsized(offers, wish.quality);
        if (!gone.isEmpty())
            choice.text = gone + QStringLiteral("the rule's choice");
        return choice;
    }
    std::sort(heights.begin(), heights.end());

    QList<int> within;
    for (const int height : heights)
        if (wish.largestPicture <= 0 || height <= wish.largestPicture)
            within.append(height);
    const bool limited = within.size() < heights.size();
    // A limit never leaves a job without a picture: below every height, the smallest serves.
    const int chosenHeight =
        within.isEmpty() ? heights.first() : within[RankWanted(within.size(), wish.quality)];

    QList<int> atHeight;
    for (int i = 0; i < offers.size(); ++i)
        if (offers[i].height == chosenHeight)
            atHeight.append(i);
    choice.index = BestOf(offers, atHeight, wish);

    const QString label = offers[choice.index].label;
    const QString named = label.isEmpty() ? QString() : label + QStringLiteral(", ");
    if (within.isEmpty())
        choice.text = QStringLiteral("%1smallest of %2, none at most %3p")
                          .arg(named)
                          .arg(heights.size())
                          .arg(wish.largestPicture);
    else if (within.size() > 1 || limited)
        choice.text = QStringLiteral("%1%2 of %3%4")
                          .arg(named, QLatin1String(WhichText(wish.quality)))
                          .arg(within.size())
                          .arg(limited ? QStringLiteral(" at most %1p").arg(wish.largestPicture) : QString());
    if (!gone.isEmpty())
        choice.text = gone + (choice.text.isEmpty() ? QStringLiteral("the only size") : choice.text);
    return choice;
}

QString CodecFamily(const QString& spelled) {
    static const QList<std::pair<QStringList, QString>> table = {
        {{QStringLiteral("avc1"), QStringLiteral("avc3"), QStringLiteral("h264"), QStringLiteral("avc")},
         QStringLiteral("h264")},
        {{QStringLiteral("hvc1"), QStringLiteral("hev1"), QStringLiteral("dvh1"), QStringLiteral("dvhe"),
          QStringLiteral("hevc"), QStringLiteral("h265")},
         QStringLiteral("hevc")},
        {{QStringLiteral("av01"), QStringLiteral("av1")}, QStringLiteral("av1")},
        {{QStringLiteral("vp08"), QStringLiteral("vp8")}, QStringLiteral("vp8")},
        {{QStringLiteral("vp09"), QStringLiteral("vp9")}, QStringLiteral("vp9")},
        {{QStringLiteral("mp4v")}, QStringLiteral("mpeg4")},
        {{QStringLiteral("mp4a"), QStringLiteral("aac")}, QStringLiteral("aac")},
        {{QStringLiteral("mp3")}, QStringLiteral("mp3")},
        {{QStringLiteral("ac-3"), QStringLiteral("ac3")}, QStringLiteral("ac3")},
        {{QStringLiteral("ec-3"), QStringLiteral("eac3")}, QStringLiteral("eac3")},
        {{QStringLiteral("opus")}, QStringLiteral("opus")},
        {{QStringLiteral("vorbis")}, QStringLiteral("vorbis")},
        {{QStringLiteral("flac"), QStringLiteral("fla")}, QStringLiteral("flac")},
        {{QStringLiteral("alac")}, QStringLiteral("alac")},
    };
    // A sample-entry name carries its profile after a dot: the name alone tells the family.
    const QString name = spelled.trimmed().section(u'.', 0, 0).toLower();
    for (const auto& [names, family] : table) {
        if (names.contains(name))
            return family;
    }
    return QString();
}

bool IsPictureCodec(const QString& family) {
    static const QStringList picture{QStringLiteral("h264"), QStringLiteral("hevc"), QStringLiteral("av1"),
                                     QStringLiteral("vp8"),  QStringLiteral("vp9"),  QStringLiteral("mpeg4")};
    return picture.contains(family);
}

QStringList PreferableCodecs() {
    return {QStringLiteral("h264"), QStringLiteral("hevc"), QStringLiteral("vp9"), QStringLiteral("av1")};
}

} // namespace Tarnwick
