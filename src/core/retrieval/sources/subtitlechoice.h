#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace Tarnwick {

// Which subtitles a run fetches (SubtitleLanguages, AutomaticCaptions) and where they go
// (EmbedSubtitles).
struct SubtitleWish {
    QStringList languages; // primary language codes, lower case ("en", "de"); empty: none
    bool all = false;      // every language offered
    bool automatic = false;
    bool embed = true;

    bool WantsAny() const { return all || !languages.isEmpty(); }
};

// The wish for the text of SubtitleLanguages: "en,de", "all", or empty for none. Codes that
// cannot be language tags are left out.
SubtitleWish ParseSubtitleLanguages(const QString& text);

// One subtitle file a source offers.
struct SubtitleOffer {
    QString language; // as the source tags it ("en", "en-US", "pt-BR")
    QString url;
    QString format;         // "vtt", "srt", ... as the source names it; empty: not said
    QString label;          // the source's own name for it ("English"); empty: not said
    bool automatic = false; // made by speech recognition (yt-dlp's automatic_captions)
};

// The offers the wish takes: one per language it asks for, the languages in the order the
// source lists them. A written subtitle goes before an automatic caption of the language (which
// is taken only when automatic captions are wished for), WebVTT and SubRip before other formats.
QList<SubtitleOffer> ChooseSubtitles(const QList<SubtitleOffer>& offers, const SubtitleWish& wish);

// The primary subtag of a language tag, lower case ("en" of "en-US"); empty for one that is no tag.
QString PrimaryLanguage(const QString& tag);
// The ISO 639-2 code containers store ("eng", "ger"); empty when the language is not known.
QString ContainerLanguageCode(const QString& tag);
// What a player's menu shows for the offer: its own label, else the language's English name
// ("German"), marked when automatic.
QString SubtitleTitle(const SubtitleOffer& offer);

} // namespace Tarnwick
