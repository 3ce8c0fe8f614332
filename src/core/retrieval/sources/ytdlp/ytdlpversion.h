#pragma once

#include <QDate>
#include <QString>
#include <QStringView>
#include <compare>
#include <optional>

namespace Tarnwick {

// What `yt-dlp --version` prints: the release date ("2023.03.04"), and for nightly builds
// the time of the build after it ("2024.12.06.232142"). Ordered by date, then by that build.
class YtDlpVersion {
public:
    // Nothing when the text is not such a version (a build from source prints other things).
    static std::optional<YtDlpVersion> Parse(QStringView text);

    QDate Date() const { return date_; }
    QString ToString() const { return text_; }
    // Whole days from the release to today; negative for a date ahead of the clock.
    qint64 DaysOld(QDate today) const { return date_.daysTo(today); }

    std::strong_ordering operator<=>(const YtDlpVersion& other) const;
    bool operator==(const YtDlpVersion& other) const { return (*this <=> other) == 0; }

private:
    QDate date_;
    qint64 build_ = 0;
    QString text_;
};

// A yt-dlp older than this many days has likely fallen behind the sites it reads.
inline constexpr int YtDlpStaleDays = 60;

// The hint added to a job's failure when yt-dlp failed it and the yt-dlp in use is stale;
// empty when it is recent enough or its version is unknown.
QString YtDlpUpdateSuggestion(const QString& versionText, QDate today);
// The reason of a failure that yt-dlp reported, with that hint after it when it applies.
QString WithYtDlpUpdateSuggestion(const QString& reason, const QString& versionText,
                                  QDate today = QDate::currentDate());

} // namespace Tarnwick
