#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace Tarnwick {

// What each yt-dlp program printed for --version, kept across runs: starting the Python program
// costs about half a second, so an unchanged program is asked once. A program counts as
// unchanged while its path, size and modification time are those it had when it answered.
// Only answers are kept; a program that failed is asked again by the next run that needs it.
class YtDlpVersionCache {
public:
    explicit YtDlpVersionCache(QString file = DefaultFile());

    // The version program answered when it was last asked, if it has not changed since.
    std::optional<QString> Version(const QString& program) const;
    // Keeps version for program as it is now. Best effort: a cache that cannot be written
    // only costs the next run a probe.
    void Remember(const QString& program, const QString& version) const;

    // "$XDG_CACHE_HOME/Ostrand/Tarnwick/yt-dlp-versions" (the user's cache folder on Windows).
    static QString DefaultFile();

private:
    QString file_;
    mutable std::optional<QByteArray> stored_; // the file as this object last read or wrote it
};

} // namespace Tarnwick
