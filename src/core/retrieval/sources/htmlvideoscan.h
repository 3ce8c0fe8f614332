#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include "conversion/chaptermark.h"
#include "subtitlechoice.h"

namespace Tarnwick {

// One <source> of a <video> element (or the element's own src), as the page wrote it: the
// address is not yet resolved against the page, character references are decoded.
struct HtmlVideoSource {
    QString url;
    QString type;   // the type attribute without parameters, lower case; empty when absent
    int height = 0; // the rendition's height from size/res/label-like attributes; 0: not given
};

// What a page says about its video, in the page's own words. Every field is empty when the page
// does not say it.
struct HtmlVideoScan {
    QString baseHref;                    // the first <base href>
    QList<HtmlVideoSource> videoSources; // of the first <video> that names any source
    QList<SubtitleOffer> videoTracks;    // its <track>s of subtitles or captions (unresolved)
    // The sources of each later <video> that names any, in page order (at most MaxPageVideos
    // in all): the other videos a page shows beside its first.
    QList<QList<HtmlVideoSource>> laterVideos;
    QList<HtmlVideoSource> jwPlayerSources; // of the first JW Player set-up that names a video
    QString ogVideoSecureUrl;               // og:video:secure_url
    QString ogVideoUrl;                     // og:video:url
    QString ogVideo;                        // og:video
    QString twitterPlayerStream;            // twitter:player:stream
    QString jsonLdContentUrl;               // contentUrl of the first JSON-LD VideoObject
    QString jsonLdAuthor;                   // that object's author (its name, for a Person)
    int jsonLdYear = 0;                     // the year of its uploadDate; 0: not said
    QList<ChapterMark> jsonLdChapters;      // its hasPart Clips that have a startOffset, as listed
    QString jsonLdDescription;              // its description
    QString jsonLdThumbnail;                // its thumbnailUrl
    QString ogTitle;                        // og:title
    QString ogDescription;                  // og:description
    QString ogImage;                        // og:image:secure_url, else og:image:url or og:image
    QString title;                          // the text of the first <title>
    bool hasTitle = false;                  // a <title> element was there (it may be empty)
};

// The most <video> elements of one page that are read as videos of their own.
constexpr int MaxPageVideos = 100;

// Reads the page's tags once, left to right. Never fails: a page that is not HTML at all simply
// says nothing. Comments are skipped, and script and style bodies are not read as tags.
HtmlVideoScan ScanHtmlForVideo(QStringView page);
// The same on raw page bytes, decoded as pages are (UTF-8, UTF-16 or Windows-1252).
HtmlVideoScan ScanHtmlForVideo(const QByteArray& pageBytes);

// The text with the character references that page attributes and titles commonly use
// (&amp; &lt; &gt; &quot; &apos; &nbsp; and numeric ones) replaced by their characters.
QString DecodeCharacterReferences(QStringView text);

// True for a source type that can be downloaded: audio or video files and HLS playlists, or
// no type at all.
bool IsPlayableSourceType(const QString& type);

} // namespace Tarnwick
