#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>

typedef void CURL;
typedef void CURLSH;

namespace Tarnwick {

// The cookies of one job: those it was given (a cookies.txt, those yt-dlp read from a browser)
// and those the site sets while the job runs, for the rest of that job only. Every transfer of
// the job shares them through libcurl's cookie engine, which sends each cookie only where its
// domain, path, secure flag and expiry allow, redirects included. They live in memory alone:
// nothing here writes a file, and nothing here shows a cookie's value.
class JobCookies {
public:
    // At most this many cookies, and this many bytes of cookies.txt, are taken.
    static constexpr int MaxCookies = 10000;
    static constexpr qint64 MaxFileBytes = 4 << 20;

    // Null when the transfer library cannot keep cookies.
    static std::shared_ptr<JobCookies> Create();
    ~JobCookies();
    JobCookies(const JobCookies&) = delete;
    JobCookies& operator=(const JobCookies&) = delete;

    // Takes every cookie of a text in the Netscape cookies.txt format ("#HttpOnly_" lines
    // included); expired ones are dropped. False, with a reason that names the first line that
    // is not a cookie (never its contents), when the text is not such a file; nothing is then
    // taken.
    bool AddNetscapeText(const QByteArray& text, QString* reason);
    // Reads a cookies.txt file into the jar; the reason names the file.
    bool AddNetscapeFile(const QString& path, QString* reason);
    // Every cookie held now, in the Netscape format, for a program that reads cookies.txt.
    QByteArray NetscapeText() const;
    int Count() const;

    // Makes the handle send and keep the job's cookies.
    void Attach(CURL* handle) const;

    // The browser whose store yt-dlp is to read ("firefox", "chromium:Profile 1"), or empty.
    const QString& Browser() const { return browser_; }
    void SetBrowser(const QString& browser) { browser_ = browser; }

private:
    JobCookies() = default;

    CURLSH* share_ = nullptr;
    // A handle of the jar's own, to add and list cookies outside any request.
    CURL* handle_ = nullptr;
    mutable std::recursive_mutex shareMutex_; // libcurl's lock of the shared cookies
    mutable std::mutex handleMutex_;
    QString browser_;
};

// Where a job's cookies come from: the settings CookiesFile and CookiesFromBrowser, and those
// the browser handed over with the job's address.
struct CookieSources {
    QString file;      // a cookies.txt; empty: none
    QString browser;   // for yt-dlp's --cookies-from-browser; empty: none
    QByteArray handed; // cookies.txt text; empty: none
    bool IsEmpty() const { return file.isEmpty() && browser.isEmpty() && handed.isEmpty(); }
};

// The cookies of a new job from its sources. Null without sources, and null with the reason
// when they cannot be used (a cookies file that is not one, an unknown browser).
std::shared_ptr<JobCookies> JobCookiesFrom(const CookieSources& sources, QString* reason);

// A failure of a request answered 401 or 403 says what may mend it: signing in, and giving the
// job the site's cookies, or fresh ones when cookies were sent. Other failures are as given.
QString WithSignInHint(const QString& failure, long status, bool cookiesSent);

// The browsers whose cookie stores yt-dlp reads, as CookiesFromBrowser names them.
QStringList CookieBrowsers();

// Whether text is a CookiesFromBrowser value yt-dlp takes: a known browser, optionally
// ":<profile>" (a profile name or folder).
bool IsKnownCookieBrowser(const QString& text);

} // namespace Tarnwick
