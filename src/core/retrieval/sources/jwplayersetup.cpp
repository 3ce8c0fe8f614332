#include "jwplayersetup.h"

#include "renditionchoice.h"
#include "scriptliteral.h"

#include <QJsonArray>
#include <QJsonObject>

namespace Tarnwick {

namespace {

// Set-ups looked at per page, and how much text one may span: a page with more, or a set-up
// longer than that, is not read further, so that a hostile page costs bounded work.
constexpr int SetupLimit = 16;
constexpr int CallLimit = 256;
constexpr qsizetype SetupTextLimit = qsizetype(1) << 20;
// How far a set-up's variable is looked for.
constexpr int AssignmentSearchLimit = 64;

bool IsIdentifierCharacter(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

qsizetype SkipBlanks(QStringView text, qsizetype i) {
    while (i < text.size() && text[i].isSpace())
        ++i;
    return i;
}

// Just after the ')' that closes the '(' at open, minding quotes; -1 when there is none nearby.
qsizetype AfterParentheses(QStringView text, qsizetype open) {
    int depth = 0;
    QChar quote;
    const qsizetype end = qMin(text.size(), open + 1024);
    for (qsizetype i = open; i < end; ++i) {
        const QChar c = text[i];
        if (!quote.isNull()) {
            if (c == u'\\')
                ++i;
            else if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'' || c == u'`') {
            quote = c;
        } else if (c == u'(') {
            ++depth;
        } else if (c == u')' && --depth == 0) {
            return i + 1;
        }
    }
    return -1;
}

// Where the literal assigned to name begins ("var config = {", "config = {"), -1 when the page
// does not assign one.
qsizetype AssignedLiteral(QStringView page, QStringView name) {
    qsizetype from = 0;
    for (int tries = 0; tries < AssignmentSearchLimit; ++tries) {
        const qsizetype at = page.indexOf(name, from);
        if (at < 0)
            return -1;
        from = at + name.size();
        if (at > 0 && (IsIdentifierCharacter(page[at - 1]) || page[at - 1] == u'.'))
            continue;
        qsizetype i = SkipBlanks(page, from);
        if (i >= page.size() || page[i] != u'=' || (i + 1 < page.size() && page[i + 1] == u'='))
            continue;
        i = SkipBlanks(page, i + 1);
        if (i < page.size() && page[i] == u'{')
            return i;
    }
    return -1;
}

QString MediaTypeOf(const QString& jwType, const QString& file) {
    const QString type = jwType.trimmed().toLower();
    if (type.contains(u'/'))
        return type.section(u';', 0, 0).trimmed();
    if (type == QLatin1String("hls") || type == QLatin1String("m3u8"))
        return QStringLiteral("application/vnd.apple.mpegurl");
    if (type == QLatin1String("mp4") || type == QLatin1String("m4v") || type == QLatin1String("mov"))
        return QStringLiteral("video/mp4");
    if (type == QLatin1String("webm") || type == QLatin1String("flv"))
        return type == QLatin1String("flv") ? QStringLiteral("video/x-flv") : QStringLiteral("video/webm");
    if (type == QLatin1String("aac") || type == QLatin1String("mp3") || type == QLatin1String("mpeg") ||
        type == QLatin1String("oga") || type == QLatin1String("vorbis") || type == QLatin1String("m4a"))
        return QStringLiteral("audio/") + type;
    if (!type.isEmpty())
        return QStringLiteral("application/x-") + type; // dash, rtmp, youtube: not a file to fetch
    // Without a type the address says what it is; a DASH manifest cannot be fetched as a file.
    if (file.section(u'?', 0, 0).endsWith(QLatin1String(".mpd"), Qt::CaseInsensitive))
        return QStringLiteral("application/dash+xml");
    return QString();
}

int HeightOf(const QJsonObject& entry, const QString& file) {
    const int height = entry.value(QLatin1String("height")).toVariant().toInt();
    if (height > 0 && height <= 100000)
        return height;
    const int labelled = HeightSpelledIn(entry.value(QLatin1String("label")).toVariant().toString());
    if (labelled > 0)
        return labelled;
    const int spelled = HeightSpelledIn(file);
    if (spelled > 0)
        return spelled;
    // Only a width: the usual 16:9 picture keeps the order among renditions.
    const int width = entry.value(QLatin1String("width")).toVariant().toInt();
    return width > 0 && width <= 100000 ? width * 9 / 16 : 0;
}

void AddSource(const QJsonObject& entry, QList<HtmlVideoSource>& sources) {
    const QString file = entry.value(QLatin1String("file")).toString().trimmed();
    if (file.isEmpty())
        return;
    sources.append(
        {file, MediaTypeOf(entry.value(QLatin1String("type")).toString(), file), HeightOf(entry, file)});
}

// An item names its video by its sources, else by its one file.
QList<HtmlVideoSource> SourcesOfItem(const QJsonObject& item) {
    QList<HtmlVideoSource> sources;
    for (const QJsonValue& entry : item.value(QLatin1String("sources")).toArray())
        AddSource(entry.toObject(), sources);
    if (sources.isEmpty())
        AddSource(item, sources);
    return sources;
}

QList<HtmlVideoSource> SourcesOfSetup(const QJsonObject& setup) {
    // A playlist stands for the whole set-up when there is one; its first item plays first.
    const QJsonValue playlist = setup.value(QLatin1String("playlist"));
    if (playlist.isArray() && !playlist.toArray().isEmpty()) {
        const QList<HtmlVideoSource> sources = SourcesOfItem(playlist.toArray().first().toObject());
        if (!sources.isEmpty())
            return sources;
    }
    return SourcesOfItem(setup);
}

// The set-up object of the call whose argument begins at text[at].
QJsonObject SetupArgument(QStringView page, qsizetype at) {
    qsizetype literalAt = at;
    if (at < page.size() && IsIdentifierCharacter(page[at])) {
        qsizetype end = at;
        while (end < page.size() && IsIdentifierCharacter(page[end]))
            ++end;
        literalAt = AssignedLiteral(page, page.mid(at, end - at));
        if (literalAt < 0)
            return QJsonObject();
    }
    qsizetype position = 0;
    const QStringView text = page.mid(literalAt, qMin(SetupTextLimit, page.size() - literalAt));
    return ReadScriptLiteral(text, position).toObject();
}

} // namespace

QList<HtmlVideoSource> ReadJwPlayerSetup(QStringView page) {
    const QLatin1StringView player("jwplayer");
    qsizetype from = 0;
    int setups = 0;
    for (int calls = 0; calls < CallLimit && setups < SetupLimit; ++calls) {
        const qsizetype found = page.indexOf(player, from, Qt::CaseInsensitive);
        if (found < 0)
            break;
        from = found + player.size();
        // jwplayer("box").setup(
        qsizetype i = SkipBlanks(page, from);
        if (i >= page.size() || page[i] != u'(')
            continue;
        i = AfterParentheses(page, i);
        if (i < 0)
            continue;
        i = SkipBlanks(page, i);
        const QLatin1StringView setup(".setup");
        if (!page.mid(i).startsWith(setup))
            continue;
        i = SkipBlanks(page, i + setup.size());
        if (i >= page.size() || page[i] != u'(')
            continue;
        ++setups;
        const QList<HtmlVideoSource> sources = SourcesOfSetup(SetupArgument(page, SkipBlanks(page, i + 1)));
        if (!sources.isEmpty())
            return sources;
    }
    return {};
}

} // namespace Tarnwick
