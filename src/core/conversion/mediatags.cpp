#include "mediatags.h"

#include "conversionparams.h"

namespace Tarnwick {

namespace {

QString SafeTag(const QString& text) {
    QString safe;
    safe.reserve(qMin<qsizetype>(text.size(), LongestTag));
    for (const QChar c : text) {
        if (safe.size() >= LongestTag)
            break;
        safe += c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ? QLatin1Char(' ')
                                                                                            : c;
    }
    return safe.simplified();
}

} // namespace

void ApplyTags(ConversionParams& params, const MediaTags& tags) {
    params.title = SafeTag(tags.title);
    params.author = SafeTag(tags.artist);
    params.comment = SafeTag(tags.source);
    if (tags.year > 0 && tags.year < 10000)
        params.year = tags.year;
}

} // namespace Tarnwick
