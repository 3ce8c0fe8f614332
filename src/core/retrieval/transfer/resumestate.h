#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QIODevice;

namespace Tarnwick {

struct ResponseHeaders;

// How far a transfer has come and whether the server lets it continue from there after the
// connection was cut: only when the first answer allowed ranges (Accept-Ranges: bytes, or a
// Content-Length), and only into the same body, as its total and validator show.
class ResumeState {
public:
    // An answer that carries the body from its first byte; what was received before is void.
    void StartWhole(const ResponseHeaders& headers);
    // Goes on with a body of which received bytes are at hand already, as an earlier answer
    // described it (its ETag and Last-Modified, and total, -1 when unknown). Without a
    // validator nothing vouches for those bytes: false, and nothing changes.
    bool StartFrom(qint64 received, qint64 total, const QByteArray& etag, const QByteArray& lastModified);
    void Add(qint64 bytes) { received_ += bytes; }
    qint64 Received() const { return received_; }
    // The whole body's length, -1 when unknown.
    qint64 Total() const { return total_; }

    const QByteArray& Etag() const { return etag_; }
    const QByteArray& LastModified() const { return lastModified_; }

    // Whether the next attempt asks only for the rest.
    bool CanContinue() const { return rangesAllowed_ && received_ > 0; }
    // Range and If-Range for that request.
    QList<QByteArray> ContinuationHeaders() const;
    // The answer to that request continues this body: 206 from the next byte, the same
    // total, and no other validator than the one the first answer gave.
    bool AcceptsContinuation(const ResponseHeaders& headers) const;

private:
    qint64 received_ = 0;
    qint64 total_ = -1;
    bool rangesAllowed_ = false;
    QByteArray validator_; // the strong ETag, else Last-Modified; sent as If-Range
    QByteArray etag_;
    QByteArray lastModified_;
};

// What vouches, in If-Range, that a continuation is of the same body: the strong ETag, else
// Last-Modified. Empty when neither does: a weak ETag cannot vouch for the same bytes.
QByteArray RangeValidator(const QByteArray& etag, const QByteArray& lastModified);

// A Content-Range value "bytes first-last/total"; total -1 for "*". False when malformed.
bool ParseContentRange(const QByteArray& value, qint64& first, qint64& last, qint64& total);

// Cuts the target back to size bytes and writes on from there, for a body that starts again.
// Files, Qt buffers and limited buffers can do that; false for any other device.
bool TruncateTarget(QIODevice& target, qint64 size);

} // namespace Tarnwick
