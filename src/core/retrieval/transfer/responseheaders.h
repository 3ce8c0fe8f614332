#pragma once

#include <QByteArray>
#include <cstddef>

namespace Tarnwick {

// The header lines of one HTTP answer that the transfer acts on.
struct ResponseHeaders {
    long status = 0;
    QByteArray reason;
    QByteArray contentLength;
    QByteArray contentType;
    QByteArray contentDisposition;
    QByteArray contentEncoding;
    QByteArray contentRange;
    QByteArray acceptRanges;
    QByteArray etag;
    QByteArray lastModified;
    QByteArray retryAfter;
    bool hasLocation = false;

    // Takes one line as libcurl hands it over, line end included. A status line starts the
    // headers of a new answer.
    void Take(const char* data, size_t size);
    // The blank line that ends the headers.
    static bool IsEnd(const char* data, size_t size);
};

} // namespace Tarnwick
