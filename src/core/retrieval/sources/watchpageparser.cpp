#include "watchpageparser.h"

namespace Tarnwick {

namespace {

const QString ArgumentsOpener = QStringLiteral("var swfArgs = {");
const QString ArgumentsCloser = QStringLiteral("}");
const QString TitleOpener = QStringLiteral("<title>");
const QString TitleCloser = QStringLiteral("</title>");
const QString SitePrefix = QStringLiteral("YouTube - ");
const QString FallbackTitle = QStringLiteral("untitled");
const QString StreamRequestPath = QStringLiteral("/get_video?");
// A title longer than this is cut: it names a file of at most 255 bytes and fills one line of
// the window, and a page could otherwise hand every later step megabytes of title.
constexpr qsizetype MaxTitleLength = 4096;

} // namespace

WatchPageParser::WatchPageParser(QString videoHost)
    : videoHost_(std::move(videoHost)) {}

bool WatchPageParser::Parse(const QString& page, QString& streamUrl, QString& title) const {
    return ExtractStreamUrl(page, streamUrl) && ExtractTitle(page, title);
}

bool WatchPageParser::ExtractStreamUrl(const QString& page, QString& streamUrl) const {
    const qsizetype start = page.indexOf(ArgumentsOpener);
    if (start < 0)
        return false;
    const qsizetype end = page.indexOf(ArgumentsCloser, start);
    if (end < 0)
        return false;
    const qsizetype blockStart = start + ArgumentsOpener.size();
    if (end <= blockStart)
        return false;
    // The player's quoted pairs become the query: no quotes or blanks, ':' -> '=', ',' -> '&'.
    // Values are passed on exactly as the page wrote them otherwise.
    QString query = page.mid(blockStart, end - blockStart);
    query.remove(QLatin1Char(' '));
    query.remove(QLatin1Char('\''));
    query.remove(QLatin1Char('"'));
    query.replace(QLatin1Char(':'), QLatin1Char('='));
    query.replace(QLatin1Char(','), QLatin1Char('&'));
    streamUrl = QStringLiteral("http://") + videoHost_ + StreamRequestPath + query;
    return true;
}

bool WatchPageParser::ExtractTitle(const QString& page, QString& title) const {
    const qsizetype start = page.indexOf(TitleOpener);
    if (start < 0)
        return false;
    const qsizetype end = page.indexOf(TitleCloser, start);
    if (end < 0)
        return false;
    const qsizetype textStart = start + TitleOpener.size();
    title = WithoutSitePrefix(page.mid(textStart, qMin(end - textStart, MaxTitleLength + SitePrefix.size())));
    if (title.size() > MaxTitleLength) {
        title.truncate(MaxTitleLength);
        if (title.back().isHighSurrogate())
            title.chop(1);
    }
    if (title.isEmpty())
        title = FallbackTitle;
    return true;
}

QString WithoutSitePrefix(QString title) {
    if (title.startsWith(SitePrefix))
        title.remove(0, SitePrefix.size());
    return title;
}

} // namespace Tarnwick
