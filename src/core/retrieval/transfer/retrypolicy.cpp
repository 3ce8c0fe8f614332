#include "retrypolicy.h"

#include <QtGlobal>
#include <climits>
#include <curl/curl.h>

namespace Tarnwick {

int RetryPolicy::WaitSeconds(int retry, std::optional<int> retryAfter) const {
    if (retryAfter)
        return qBound(0, *retryAfter, longestWaitSeconds);
    return firstWaitSeconds << qBound(0, retry - 1, 16);
}

bool IsRetriableStatus(long status) {
    switch (status) {
    case 429:
    case 500:
    case 502:
    case 503:
    case 504:
        return true;
    default:
        return false;
    }
}

std::optional<int> RetryAfterSeconds(const QByteArray& value, std::time_t now) {
    const QByteArray text = value.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool isNumber = false;
    const qlonglong seconds = text.toLongLong(&isNumber);
    if (isNumber)
        return seconds < 0 ? std::nullopt : std::optional<int>(int(qMin<qlonglong>(seconds, INT_MAX)));
    // The three date forms HTTP allows; libcurl's parser reads them all.
    const std::time_t when = curl_getdate(text.constData(), nullptr);
    if (when == -1)
        return std::nullopt;
    return int(qBound(qint64(0), qint64(when) - qint64(now), qint64(INT_MAX)));
}

QString RetryingText(int seconds, int retry, int retries) {
    return QStringLiteral("Retrying in %1 s (%2/%3)...").arg(seconds).arg(retry).arg(retries);
}

} // namespace Tarnwick
