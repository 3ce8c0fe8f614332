#include "jobcookies.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStringList>
#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

namespace Tarnwick {

namespace {

constexpr char HttpOnlyPrefix[] = "#HttpOnly_";
constexpr char NetscapeHeader[] = "# Netscape HTTP Cookie File\n";

bool IsFlag(const QByteArray& field) {
    return field == "TRUE" || field == "FALSE";
}

// The seven fields of a cookie line (the value may be missing), with nothing in it that could
// end a header or a line.
bool IsCookieLine(const QByteArray& line) {
    for (const char c : line)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f)
            return false;
    const QByteArray body = line.startsWith(HttpOnlyPrefix) ? line.mid(int(sizeof HttpOnlyPrefix) - 1) : line;
    const QList<QByteArray> fields = body.split('\t');
    if (fields.size() != 7 && fields.size() != 6)
        return false;
    bool number = false;
    fields[4].toLongLong(&number);
    return !fields[0].isEmpty() && !fields[0].contains(' ') && IsFlag(fields[1]) &&
           fields[2].startsWith('/') && IsFlag(fields[3]) && number && !fields[5].isEmpty();
}

bool IsExpired(const QByteArray& line, qint64 now) {
    const QByteArray body = line.startsWith(HttpOnlyPrefix) ? line.mid(int(sizeof HttpOnlyPrefix) - 1) : line;
    const qint64 expiry = body.split('\t').value(4).toLongLong();
    return expiry != 0 && expiry < now; // 0: a cookie of the browser's session
}

bool IsComment(const QByteArray& line) {
    return line.isEmpty() || (line.startsWith('#') && !line.startsWith(HttpOnlyPrefix));
}

void LockShare(CURL*, curl_lock_data, curl_lock_access, void* mutex) {
    static_cast<std::recursive_mutex*>(mutex)->lock();
}

void UnlockShare(CURL*, curl_lock_data, void* mutex) {
    static_cast<std::recursive_mutex*>(mutex)->unlock();
}

} // namespace

std::shared_ptr<JobCookies> JobCookies::Create() {
    std::shared_ptr<JobCookies> cookies(new JobCookies);
    cookies->share_ = curl_share_init();
    cookies->handle_ = curl_easy_init();
    if (cookies->share_ == nullptr || cookies->handle_ == nullptr)
        return nullptr;
    curl_share_setopt(cookies->share_, CURLSHOPT_LOCKFUNC, &LockShare);
    curl_share_setopt(cookies->share_, CURLSHOPT_UNLOCKFUNC, &UnlockShare);
    curl_share_setopt(cookies->share_, CURLSHOPT_USERDATA, &cookies->shareMutex_);
    if (curl_share_setopt(cookies->share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) != CURLSHE_OK)
        return nullptr;
    cookies->Attach(cookies->handle_);
    return cookies;
}

JobCookies::~JobCookies() {
    if (handle_ != nullptr)
        curl_easy_cleanup(handle_);
    if (share_ != nullptr)
        curl_share_cleanup(share_);
}

void JobCookies::Attach(CURL* handle) const {
    curl_easy_setopt(handle, CURLOPT_SHARE, share_);
    // An empty file name turns the cookie engine on without reading or writing any file.
    curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");
}

bool JobCookies::AddNetscapeText(const QByteArray& text, QString* reason) {
    if (text.size() > MaxFileBytes) {
        if (reason != nullptr)
            *reason = QStringLiteral("they are larger than %1 MiB").arg(MaxFileBytes >> 20);
        return false;
    }
    QList<QByteArray> cookies;
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (IsComment(line.trimmed()))
            continue;
        if (!IsCookieLine(line)) {
            if (reason != nullptr)
                *reason =
                    QStringLiteral("line %1 is not a cookie in the Netscape cookies.txt format").arg(i + 1);
            return false;
        }
        cookies << line;
        if (cookies.size() > MaxCookies) {
            if (reason != nullptr)
                *reason = QStringLiteral("it holds more than %1 cookies").arg(MaxCookies);
            return false;
        }
    }
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    std::lock_guard lock(handleMutex_);
    for (const QByteArray& cookie : cookies)
        if (!IsExpired(cookie, now))
            curl_easy_setopt(handle_, CURLOPT_COOKIELIST, cookie.constData());
    return true;
}

bool JobCookies::AddNetscapeFile(const QString& path, QString* reason) {
    const QFileInfo info(path);
    QString why;
    if (!info.isFile())
        why = QStringLiteral("there is no such file");
    else if (info.size() > MaxFileBytes)
        why = QStringLiteral("it is larger than %1 MiB").arg(MaxFileBytes >> 20);
    QFile file(path);
    if (why.isEmpty() && !file.open(QIODevice::ReadOnly))
        why = file.errorString();
    if (why.isEmpty() && AddNetscapeText(file.read(MaxFileBytes), &why))
        return true;
    if (reason != nullptr)
        *reason = QStringLiteral("Cannot use the cookies file %1: %2").arg(path, why);
    return false;
}

QByteArray JobCookies::NetscapeText() const {
    std::lock_guard lock(handleMutex_);
    curl_slist* list = nullptr;
    QByteArray text = NetscapeHeader;
    if (curl_easy_getinfo(handle_, CURLINFO_COOKIELIST, &list) != CURLE_OK)
        return text;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (curl_slist* item = list; item != nullptr; item = item->next)
        if (!IsExpired(item->data, now))
            text += QByteArray(item->data) + '\n';
    curl_slist_free_all(list);
    return text;
}

int JobCookies::Count() const {
    return int(NetscapeText().count('\n')) - 1;
}

std::shared_ptr<JobCookies> JobCookiesFrom(const CookieSources& sources, QString* reason) {
    if (sources.IsEmpty())
        return nullptr;
    if (!sources.browser.isEmpty() && !IsKnownCookieBrowser(sources.browser)) {
        *reason =
            QStringLiteral("CookiesFromBrowser names no browser yt-dlp can read: %1").arg(sources.browser);
        return nullptr;
    }
    std::shared_ptr<JobCookies> cookies = JobCookies::Create();
    if (cookies == nullptr) {
        *reason = QStringLiteral("The transfer library cannot keep cookies");
        return nullptr;
    }
    if (!sources.file.isEmpty() && !cookies->AddNetscapeFile(sources.file, reason))
        return nullptr;
    QString why;
    if (!sources.handed.isEmpty() && !cookies->AddNetscapeText(sources.handed, &why)) {
        *reason = QStringLiteral("Cannot use the site's cookies the browser handed over: %1").arg(why);
        return nullptr;
    }
    cookies->SetBrowser(sources.browser);
    return cookies;
}

QString WithSignInHint(const QString& failure, long status, bool cookiesSent) {
    if (status != 401 && status != 403)
        return failure;
    if (cookiesSent)
        return failure + QStringLiteral(", although the site's cookies were sent: they may have run out; "
                                        "sign in again in the browser");
    return failure + QStringLiteral(". The site may want you signed in: sign in in the browser and hand "
                                    "the page over with \"Send the site's cookies with the page\" on "
                                    "(Options), or give Tarnwick its cookies with CookiesFile or "
                                    "CookiesFromBrowser (Options, Downloads)");
}

QStringList CookieBrowsers() {
    return {QStringLiteral("firefox"), QStringLiteral("chromium"), QStringLiteral("chrome"),
            QStringLiteral("brave"),   QStringLiteral("edge"),     QStringLiteral("vivaldi")};
}

bool IsKnownCookieBrowser(const QString& text) {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    const QString browser = colon < 0 ? text : text.left(colon);
    return CookieBrowsers().contains(browser) && (colon < 0 || colon + 1 < text.size());
}

} // namespace Tarnwick
