#include "htmlvideoscan.h"

#include "jwplayersetup.h"
#include "renditionchoice.h"
#include "textencoding.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Tarnwick {

namespace {

// JSON-LD nests objects (@graph, video, mainEntity...); pages go a few levels deep at most.
constexpr int JsonLdDepthLimit = 32;

struct Attribute {
    QString name; // lower case
    QStringView value;
};

bool IsNameCharacter(QChar c) {
    return c.isLetterOrNumber() || c == u'-' || c == u':' || c == u'_';
}

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// One start tag, read from just after its '<'.
struct Tag {
    QString name; // lower case; empty for something that is not a tag
    QList<Attribute> attributes;
    qsizetype end = 0; // just after the closing '>' (or the page's end)

    QString Value(QLatin1StringView attributeName) const {
        for (const Attribute& attribute : attributes)
            if (attribute.name == attributeName)
                return DecodeCharacterReferences(attribute.value).trimmed();
        return QString();
    }
    bool Has(QLatin1StringView attributeName) const {
        for (const Attribute& attribute : attributes)
            if (attribute.name == attributeName)
                return true;
        return false;
    }
};

Tag ReadTag(QStringView page, qsizetype at) {
    Tag tag;
    const qsizetype size = page.size();
    qsizetype i = at;
    while (i < size && IsNameCharacter(page[i]))
        ++i;
    tag.name = page.mid(at, i - at).toString().toLower();
    while (i < size && page[i] != u'>') {
        if (IsBlank(page[i]) || page[i] == u'/') {
            ++i;
            continue;
        }
        const qsizetype nameStart = i;
        const qsizetype before = i;
        while (i < size && page[i] != u'>' && page[i] != u'=' && page[i] != u'/' && !IsBlank(page[i]))
            ++i;
        Attribute attribute;
        attribute.name = page.mid(nameStart, i - nameStart).toString().toLower();
        while (i < size && IsBlank(page[i]))
            ++i;
        if (i < size && page[i] == u'=') {
            ++i;
            while (i < size && IsBlank(page[i]))
                ++i;
            if (i < size && (page[i] == u'"' || page[i] == u'\'')) {
                const QChar quote = page[i];
                const qsizetype valueStart = ++i;
                while (i < size && page[i] != quote)
                    ++i;
                attribute.value = page.mid(valueStart, i - valueStart);
                if (i < size)
                    ++i;
            } else {
                const qsizetype valueStart = i;
                while (i < size && page[i] != u'>' && !IsBlank(page[i]))
                    ++i;
                attribute.value = page.mid(valueStart, i - valueStart);
            }
        }
        if (!attribute.name.isEmpty())
            tag.attributes.append(attribute);
        if (i == before)
            ++i; // a stray character: step over it
    }
    tag.end = i < size ? i + 1 : size;
    return tag;
}

// The first whole number in the text, 0 when there is none or it is implausible as a height.
int FirstNumber(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && !text[i].isDigit())
        ++i;
    int value = 0;
    for (; i < text.size() && text[i].isDigit() && value < 1000000; ++i)
        value = value * 10 + text[i].digitValue();
    return value <= 100000 ? value : 0;
}

int HeightOf(const Tag& tag, const QString& url) {
    // Players that offer renditions mark them in one of these ways: attributes that hold the
    // height as a number, and labels of free text, where only a spelled height counts (not the
    // 12 of "Episode 12").
    for (const char* name : {"size", "res", "data-res", "data-quality", "data-height", "height"}) {
        const int height = FirstNumber(tag.Value(QLatin1StringView(name)));
        if (height > 0)
            return height;
    }
    for (const char* name : {"label", "title"}) {
        const int height = HeightSpelledIn(tag.Value(QLatin1StringView(name)));
        if (height > 0)
            return height;
    }
    return HeightSpelledIn(url);
}

bool IsPlaceholderAddress(const QString& address) {
    for (const char* scheme : {"data:", "blob:", "about:", "javascript:"})
        if (address.startsWith(QLatin1StringView(scheme), Qt::CaseInsensitive))
            return true;
    return address.startsWith(u'#');
}

// The address of a <video> or <source>. Pages that load their players lazily name it in an
// attribute of their own and leave src empty, or put a placeholder there, until it is shown.
QString SourceAddress(const Tag& tag) {
    for (const char* name : {"src", "data-src", "data-lazy-src", "data-video-src", "data-original"}) {
        const QString address = tag.Value(QLatin1StringView(name));
        if (!address.isEmpty() && !IsPlaceholderAddress(address))
            return address;
    }
    return QString();
}

QString MediaTypeOnly(const QString& type) {
    return type.section(u';', 0, 0).trimmed().toLower();
}

bool IsVideoObjectType(const QJsonValue& type) {
    if (type.isString())
        return type.toString() == QLatin1String("VideoObject") ||
               type.toString().endsWith(QLatin1String("/VideoObject"));
    if (type.isArray())
        for (const QJsonValue& entry : type.toArray())
            if (IsVideoObjectType(entry))
                return true;
    return false;
}

QString FirstString(const QJsonValue& value) {
    if (value.isString())
        return value.toString();
    if (value.isArray() && !value.toArray().isEmpty())
        return FirstString(value.toArray().first());
    return QString();
}

// The first VideoObject that names a contentUrl; an empty object when there is none.
QJsonObject FindVideoObject(const QJsonValue& value, int depth) {
    if (depth > JsonLdDepthLimit)
        return {};
    if (value.isArray()) {
        for (const QJsonValue& entry : value.toArray()) {
            const QJsonObject found = FindVideoObject(entry, depth + 1);
            if (!found.isEmpty())
                return found;
        }
        return {};
    }
    if (!value.isObject())
        return {};
    const QJsonObject object = value.toObject();
    if (IsVideoObjectType(object.value(QLatin1String("@type"))) &&
        !FirstString(object.value(QLatin1String("contentUrl"))).trimmed().isEmpty())
        return object;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QJsonObject found = FindVideoObject(it.value(), depth + 1);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

// A JSON-LD author: a name, or a Person or Organization (or a list of them) with one.
QString AuthorName(const QJsonValue& author) {
    if (author.isArray() && !author.toArray().isEmpty())
        return AuthorName(author.toArray().first());
    if (author.isObject())
        return FirstString(author.toObject().value(QLatin1String("name"))).trimmed();
    return FirstString(author).trimmed();
}

// The key moments of a VideoObject: Clips with a start in seconds (a number or its text).
QList<ChapterMark> ClipMarks(const QJsonValue& parts) {
    QList<ChapterMark> marks;
    const QJsonArray list = parts.isArray() ? parts.toArray() : QJsonArray{parts};
    for (const QJsonValue& part : list) {
        const QJsonObject clip = part.toObject();
        const QJsonValue offset = clip.value(QLatin1String("startOffset"));
        bool isNumber = offset.isDouble();
        const double seconds = isNumber ? offset.toDouble() : offset.toString().trimmed().toDouble(&isNumber);
        if (isNumber && seconds >= 0 && seconds < 1e7)
            marks.append(
                {qint64(seconds * 1000 + 0.5), FirstString(clip.value(QLatin1String("name"))).trimmed()});
    }
    return marks;
}

void TakeVideoObject(const QJsonObject& object, HtmlVideoScan& scan) {
    scan.jsonLdContentUrl = FirstString(object.value(QLatin1String("contentUrl"))).trimmed();
    scan.jsonLdAuthor = AuthorName(object.value(QLatin1String("author")));
    scan.jsonLdChapters = ClipMarks(object.value(QLatin1String("hasPart")));
    scan.jsonLdDescription = FirstString(object.value(QLatin1String("description"))).trimmed();
    scan.jsonLdThumbnail = FirstString(object.value(QLatin1String("thumbnailUrl"))).trimmed();
    // "2026-03-14", "2026-03-14T10:00:00Z": the year is its first four digits.
    const QString uploaded = FirstString(object.value(QLatin1String("uploadDate"))).trimmed();
    bool isYear = false;
    const int year = uploaded.left(4).toInt(&isYear);
    scan.jsonLdYear =
        isYear && year > 0 && uploaded.size() >= 4 && (uploaded.size() == 4 || uploaded[4] == u'-') ? year
                                                                                                    : 0;
}

void TakeMeta(const Tag& tag, HtmlVideoScan& scan) {
    const QString key = (tag.Has(QLatin1StringView("property")) ? tag.Value(QLatin1StringView("property"))
                                                                : tag.Value(QLatin1StringView("name")))
                            .toLower();
    const QString content = tag.Value(QLatin1StringView("content"));
    if (content.isEmpty())
        return;
    QString* field = nullptr;
    if (key == QLatin1String("og:video:secure_url"))
        field = &scan.ogVideoSecureUrl;
    else if (key == QLatin1String("og:video:url"))
        field = &scan.ogVideoUrl;
    else if (key == QLatin1String("og:video"))
        field = &scan.ogVideo;
    else if (key == QLatin1String("twitter:player:stream"))
        field = &scan.twitterPlayerStream;
    else if (key == QLatin1String("og:title"))
        field = &scan.ogTitle;
    else if (key == QLatin1String("og:description"))
        field = &scan.ogDescription;
    else if (key == QLatin1String("og:image:secure_url") || key == QLatin1String("og:image:url") ||
             key == QLatin1String("og:image"))
        field = &scan.ogImage;
    // The first statement of each wins, as the page's own order says.
    if (field != nullptr && field->isEmpty())
        *field = content;
}

// Where the raw text of an element that holds no tags ends: at its closing tag, or the page's end.
qsizetype RawTextEnd(QStringView page, qsizetype from, QLatin1StringView closer) {
    const qsizetype end = page.indexOf(closer, from, Qt::CaseInsensitive);
    return end < 0 ? page.size() : end;
}

} // namespace

bool IsPlayableSourceType(const QString& type) {
    const QString media = MediaTypeOnly(type);
    return media.isEmpty() || media.startsWith(QLatin1String("video/")) ||
           media.startsWith(QLatin1String("audio/")) ||
           media == QLatin1String("application/vnd.apple.mpegurl") ||
           media == QLatin1String("application/x-mpegurl");
}

QString DecodeCharacterReferences(QStringView text) {
    if (!text.contains(u'&'))
        return text.toString();
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype semicolon = text[i] == u'&' ? text.indexOf(u';', i + 1) : -1;
        if (semicolon < 0 || semicolon - i > 10) {
            out += text[i++];
            continue;
        }
        const QStringView name = text.mid(i + 1, semicolon - i - 1);
        char32_t code = 0;
        if (name.startsWith(u'#')) {
            bool ok = false;
            const bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
            code = hex ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
            if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                code = 0;
        } else if (name == u"amp") {
            code = '&';
        } else if (name == u"lt") {
            code = '<';
        } else if (name == u"gt") {
            code = '>';
        } else if (name == u"quot") {
            code = '"';
        } else if (name == u"apos") {
            code = '\'';
        } else if (name == u"nbsp") {
            code = 0xA0;
        }
        if (code == 0) {
            out += text[i++];
            continue;
        }
        out += QString::fromUcs4(&code, 1);
        i = semicolon + 1;
    }
    return out;
}

HtmlVideoScan ScanHtmlForVideo(QStringView page) {
    HtmlVideoScan scan;
    QList<HtmlVideoSource> current;
    QList<SubtitleOffer> currentTracks;
    bool inVideo = false;
    const auto closeVideo = [&] {
        if (inVideo && scan.videoSources.isEmpty() && !current.isEmpty()) {
            scan.videoSources = current;
            scan.videoTracks = currentTracks;
        } else if (inVideo && !current.isEmpty() && scan.laterVideos.size() < MaxPageVideos - 1) {
            scan.laterVideos.append(current);
        }
        current.clear();
        currentTracks.clear();
        inVideo = false;
    };

    qsizetype i = 0;
    const qsizetype size = page.size();
    while (true) {
        i = page.indexOf(u'<', i);
        if (i < 0 || i + 1 >= size)
            break;
        const QStringView rest = page.mid(i + 1);
        if (rest.startsWith(u"!--")) {
            const qsizetype end = page.indexOf(u"-->", i + 4);
            i = end < 0 ? size : end + 3;
            continue;
        }
        if (rest.startsWith(u'/')) {
            const Tag closing = ReadTag(page, i + 2);
            if (closing.name == QLatin1String("video"))
                closeVideo();
            i = closing.end;
            continue;
        }
        if (!rest.front().isLetter()) {
            // "<!DOCTYPE ...>", "<?xml ...?>" or a lone '<' in text.
            ++i;
            continue;
        }
        const Tag tag = ReadTag(page, i + 1);
        i = tag.end;
        if (tag.name == QLatin1String("base")) {
            if (scan.baseHref.isEmpty())
                scan.baseHref = tag.Value(QLatin1StringView("href"));
        } else if (tag.name == QLatin1String("meta")) {
            TakeMeta(tag, scan);
        } else if (tag.name == QLatin1String("video")) {
            closeVideo();
            inVideo = true;
            const QString src = SourceAddress(tag);
            if (!src.isEmpty())
                current.append(
                    {src, MediaTypeOnly(tag.Value(QLatin1StringView("type"))), HeightOf(tag, src)});
        } else if (tag.name == QLatin1String("source") && inVideo) {
            const QString src = SourceAddress(tag);
            if (!src.isEmpty())
                current.append(
                    {src, MediaTypeOnly(tag.Value(QLatin1StringView("type"))), HeightOf(tag, src)});
        } else if (tag.name == QLatin1String("track") && inVideo) {
            // A track without a kind holds subtitles; chapters, descriptions and metadata do not.
            const QString kind = tag.Value(QLatin1StringView("kind")).toLower();
            const QString src = tag.Value(QLatin1StringView("src"));
            if (!src.isEmpty() &&
                (kind.isEmpty() || kind == QLatin1String("subtitles") || kind == QLatin1String("captions"))) {
                SubtitleOffer track;
                track.url = src;
                track.language = tag.Value(QLatin1StringView("srclang"));
                track.label = tag.Value(QLatin1StringView("label"));
                track.format = src.section(QLatin1Char('?'), 0, 0).section(QLatin1Char('.'), -1).toLower();
                currentTracks.append(track);
            }
        } else if (tag.name == QLatin1String("title")) {
            const qsizetype end = RawTextEnd(page, i, QLatin1StringView("</title"));
            if (!scan.hasTitle) {
                scan.hasTitle = true;
                scan.title = DecodeCharacterReferences(page.mid(i, end - i));
            }
            i = end;
        } else if (tag.name == QLatin1String("script") || tag.name == QLatin1String("style")) {
            const bool isScript = tag.name == QLatin1String("script");
            const qsizetype end =
                RawTextEnd(page, i, isScript ? QLatin1StringView("</script") : QLatin1StringView("</style"));
            if (isScript && scan.jsonLdContentUrl.isEmpty() &&
                MediaTypeOnly(tag.Value(QLatin1StringView("type"))) == QLatin1String("application/ld+json")) {
                const QJsonDocument document = QJsonDocument::fromJson(page.mid(i, end - i).toUtf8());
                TakeVideoObject(FindVideoObject(document.isArray() ? QJsonValue(document.array())
                                                                   : QJsonValue(document.object()),
                                                0),
                                scan);
            }
            i = end;
        }
    }
    closeVideo();
    scan.jwPlayerSources = ReadJwPlayerSetup(page);
    return scan;
}

HtmlVideoScan ScanHtmlForVideo(const QByteArray& pageBytes) {
    const QString page = PageBytesToText(pageBytes);
    return ScanHtmlForVideo(QStringView(page));
}

} // namespace Tarnwick
