#include "mediatags.h"

#include "conversionparams.h"

#include <algorithm>

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

void ApplyTags(ConversionParams& params, const MediaTags& tags, bool laterAdditions) {
    params.title = SafeTag(tags.title);
    params.author = SafeTag(tags.artist);
    params.comment = SafeTag(tags.source);
    if (tags.year > 0 && tags.year < 10000)
        params.year = tags.year;
    params.chapters.clear();
    params.description.clear();
    params.cover.clear();
    if (!laterAdditions)
        return;
    params.description = SafeTag(tags.description);
    params.cover = tags.coverPath;
    QList<ChapterMark> chapters = tags.chapters;
    std::stable_sort(chapters.begin(), chapters.end(),
                     [](const ChapterMark& a, const ChapterMark& b) { return a.startMs < b.startMs; });
    for (const ChapterMark& chapter : chapters) {
        if (params.chapters.size() >= MostChapters)
            break;
        if (chapter.startMs < 0 ||
            (!params.chapters.isEmpty() && chapter.startMs <= params.chapters.last().startMs))
            continue;
        params.chapters.append({chapter.startMs, SafeTag(chapter.title)});
    }
}

} // namespace Tarnwick
