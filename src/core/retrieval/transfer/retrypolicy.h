#pragma once

#include <QByteArray>
#include <QString>
#include <ctime>
#include <optional>

namespace Tarnwick {

// When a transfer that failed on the way is tried again, and how long it waits first.
struct RetryPolicy {
    int retries = 3;
    // The first wait; each further retry waits twice as long (1, 2, 4 s).
    int firstWaitSeconds = 1;
    // A server's Retry-After is followed up to this long.
    int longestWaitSeconds = 60;
    // Real waits are the stated seconds times this. Only tests and the soak run shorten them;
    // what the user reads still names the stated seconds.
    double waitScale = 1.0;

    // The seconds to wait before retry number `retry` (1 for the first), given the server's
    // Retry-After when it sent one.
    int WaitSeconds(int retry, std::optional<int> retryAfter) const;
};

// 500, 502, 503, 504 and 429: the server may well answer next time. Other errors are final.
bool IsRetriableStatus(long status);

// A Retry-After value, either seconds or an HTTP date, as seconds from now (never negative);
// nothing when it is neither.
std::optional<int> RetryAfterSeconds(const QByteArray& value, std::time_t now);

// "Retrying in 2 s (2/3)..."
QString RetryingText(int seconds, int retry, int retries);

} // namespace Tarnwick
