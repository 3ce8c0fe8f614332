#include "ytdlpversion.h"

#include <QList>
#include <algorithm>

namespace Tarnwick {

std::optional<YtDlpVersion> YtDlpVersion::Parse(QStringView text) {
    const QStringView trimmed = text.trimmed();
    const QList<QStringView> parts = trimmed.split(QLatin1Char('.'));
    if (parts.size() < 3 || parts.size() > 4)
        return std::nullopt;
    int numbers[3] = {};
    for (int i = 0; i < 3; ++i) {
        // Dates are zero-padded, but a hand-made build may not be; signs and spaces are not
        // part of any version.
        if (parts[i].isEmpty() || parts[i].size() > (i == 0 ? 4 : 2) ||
            !std::all_of(parts[i].begin(), parts[i].end(), [](QChar c) { return c.isDigit(); }))
            return std::nullopt;
        numbers[i] = parts[i].toInt();
    }
    YtDlpVersion version;
    version.date_ = QDate(numbers[0], numbers[1], numbers[2]);
    if (!version.date_.isValid() || numbers[0] < 2000)
        return std::nullopt;
    if (parts.size() == 4) {
        bool valid = false;
        version.build_ = parts[3].toLongLong(&valid);
        if (!valid || version.build_ < 0 || parts[3].startsWith(QLatin1Char('+')))
            return std::nullopt;
    }
    version.text_ = trimmed.toString();
    return version;
}

std::strong_ordering YtDlpVersion::operator<=>(const YtDlpVersion& other) const {
    if (date_ != other.date_)
        return date_.toJulianDay() <=> other.date_.toJulianDay();
    return build_ <=> other.build_;
}

QString YtDlpUpdateSuggestion(const QString& versionText, QDate today) {
    const std::optional<YtDlpVersion> version = YtDlpVersion::Parse(versionText);
    if (!version || version->DaysOld(today) <= YtDlpStaleDays)
        return QString();
    return QStringLiteral("yt-dlp %1 is %2 days old; a newer one may read this site "
                          "(\"Update yt-dlp\" in the menu, or tarnwick-fetch --update-yt-dlp)")
        .arg(version->ToString())
        .arg(version->DaysOld(today));
}

QString WithYtDlpUpdateSuggestion(const QString& reason, const QString& versionText, QDate today) {
    const QString hint = YtDlpUpdateSuggestion(versionText, today);
    return hint.isEmpty() ? reason : reason + QStringLiteral(" - ") + hint;
}

} // namespace Tarnwick
