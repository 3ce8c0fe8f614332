#include "subtitlechoice.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>

namespace Tarnwick {

namespace {

// Subtitles in these formats need no conversion before they are read.
int FormatRank(const QString& format) {
    const QString name = format.toLower();
    if (name == QLatin1String("vtt") || name == QLatin1String("webvtt"))
        return 0;
    if (name == QLatin1String("srt"))
        return 1;
    return 2;
}

bool Better(const SubtitleOffer& a, const SubtitleOffer& b) {
    if (a.automatic != b.automatic)
        return !a.automatic;
    return FormatRank(a.format) < FormatRank(b.format);
}

QLocale::Language LanguageOf(const QString& tag) {
    const QString primary = PrimaryLanguage(tag);
    if (primary.isEmpty())
        return QLocale::AnyLanguage;
    const QLocale::Language language = QLocale::codeToLanguage(primary, QLocale::AnyLanguageCode);
    return language == QLocale::C ? QLocale::AnyLanguage : language;
}

} // namespace

SubtitleWish ParseSubtitleLanguages(const QString& text) {
    SubtitleWish wish;
    for (const QString& piece : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString code = piece.trimmed().toLower();
        if (code == QLatin1String("all"))
            wish.all = true;
        else if (!PrimaryLanguage(code).isEmpty() && !wish.languages.contains(PrimaryLanguage(code)))
            wish.languages.append(PrimaryLanguage(code));
    }
    return wish;
}

QString PrimaryLanguage(const QString& tag) {
    static const QRegularExpression languageTag(QStringLiteral("^([A-Za-z]{2,3})([-_][A-Za-z0-9]{1,8})*$"));
    const QRegularExpressionMatch match = languageTag.match(tag.trimmed());
    return match.hasMatch() ? match.captured(1).toLower() : QString();
}

QList<SubtitleOffer> ChooseSubtitles(const QList<SubtitleOffer>& offers, const SubtitleWish& wish) {
    QList<SubtitleOffer> chosen;
    for (const SubtitleOffer& offer : offers) {
        const QString language = PrimaryLanguage(offer.language);
        if (language.isEmpty() || offer.url.isEmpty() || (offer.automatic && !wish.automatic))
            continue;
        if (!wish.all && !wish.languages.contains(language))
            continue;
        auto same = std::find_if(chosen.begin(), chosen.end(), [&](const SubtitleOffer& taken) {
            return PrimaryLanguage(taken.language) == language;
        });
        if (same == chosen.end())
            chosen.append(offer);
        else if (Better(offer, *same))
            *same = offer;
    }
    return chosen;
}

QString ContainerLanguageCode(const QString& tag) {
    const QLocale::Language language = LanguageOf(tag);
    if (language == QLocale::AnyLanguage)
        return {};
    const QString bibliographic = QLocale::languageToCode(language, QLocale::ISO639Part2B);
    return bibliographic.isEmpty() ? QLocale::languageToCode(language, QLocale::ISO639Alpha3) : bibliographic;
}

QString SubtitleTitle(const SubtitleOffer& offer) {
    QString title = offer.label.simplified().left(80);
    if (title.isEmpty()) {
        const QLocale::Language language = LanguageOf(offer.language);
        title = language == QLocale::AnyLanguage ? offer.language : QLocale::languageToString(language);
    }
    if (offer.automatic && !title.contains(QLatin1String("auto"), Qt::CaseInsensitive))
        title += QStringLiteral(" (automatic)");
    return title;
}

} // namespace Tarnwick
