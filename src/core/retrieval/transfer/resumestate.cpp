#include "resumestate.h"

#include "limitedbuffer.h"
#include "responseheaders.h"

#include <QBuffer>
#include <QFileDevice>

namespace Tarnwick {

namespace {

// A decimal number of the whole text, -1 when it is not one.
qint64 WholeNumber(const QByteArray& text) {
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    return ok && value >= 0 ? value : -1;
}

} // namespace

void ResumeState::StartWhole(const ResponseHeaders& headers) {
    *this = ResumeState();
    total_ = WholeNumber(headers.contentLength);
    const QByteArray ranges = headers.acceptRanges.trimmed().toLower();
    rangesAllowed_ = ranges == "bytes" || (ranges.isEmpty() && total_ >= 0);
    etag_ = headers.etag;
    lastModified_ = headers.lastModified;
    validator_ = RangeValidator(etag_, lastModified_);
    // A weak ETag alone says the body may differ byte for byte: no continuation can be trusted.
    if (validator_.isEmpty() && !etag_.isEmpty())
        rangesAllowed_ = false;
}

bool ResumeState::StartFrom(qint64 received, qint64 total, const QByteArray& etag,
                            const QByteArray& lastModified) {
    const QByteArray validator = RangeValidator(etag, lastModified);
    if (validator.isEmpty() || received <= 0 || (total >= 0 && received > total))
        return false;
    *this = ResumeState();
    received_ = received;
    total_ = total;
    rangesAllowed_ = true;
    etag_ = etag;
    lastModified_ = lastModified;
    validator_ = validator;
    return true;
}

QByteArray RangeValidator(const QByteArray& etag, const QByteArray& lastModified) {
    return !etag.isEmpty() && !etag.startsWith("W/") ? etag : lastModified;
}

QList<QByteArray> ResumeState::ContinuationHeaders() const {
    QList<QByteArray> headers = {"Range: bytes=" + QByteArray::number(received_) + "-"};
    if (!validator_.isEmpty())
        headers << "If-Range: " + validator_;
    return headers;
}

bool ResumeState::AcceptsContinuation(const ResponseHeaders& headers) const {
    if (headers.status != 206)
        return false;
    qint64 first = 0;
    qint64 last = 0;
    qint64 total = 0;
    if (!ParseContentRange(headers.contentRange, first, last, total) || first != received_)
        return false;
    if (total_ >= 0 && total != total_)
        return false;
    // A server that ignored If-Range shows it by naming another version.
    if (!headers.etag.isEmpty() && headers.etag != etag_)
        return false;
    if (!headers.lastModified.isEmpty() && !lastModified_.isEmpty() && headers.lastModified != lastModified_)
        return false;
    return true;
}

bool ParseContentRange(const QByteArray& value, qint64& first, qint64& last, qint64& total) {
    const QByteArray text = value.trimmed();
    if (!text.startsWith("bytes "))
        return false;
    const QByteArray spec = text.mid(6).trimmed();
    const qsizetype dash = spec.indexOf('-');
    const qsizetype slash = spec.indexOf('/');
    if (dash <= 0 || slash <= dash)
        return false;
    first = WholeNumber(spec.left(dash));
    last = WholeNumber(spec.mid(dash + 1, slash - dash - 1));
    const QByteArray totalText = spec.mid(slash + 1).trimmed();
    total = totalText == "*" ? -1 : WholeNumber(totalText);
    if (first < 0 || last < first || (totalText != "*" && (total < 0 || last >= total)))
        return false;
    return true;
}

bool TruncateTarget(QIODevice& target, qint64 size) {
    if (auto* file = qobject_cast<QFileDevice*>(&target))
        return file->seek(size) && file->resize(size);
    if (auto* buffer = qobject_cast<QBuffer*>(&target)) {
        buffer->buffer().truncate(size);
        return buffer->seek(size);
    }
    if (auto* limited = dynamic_cast<LimitedBuffer*>(&target))
        return limited->Truncate(size);
    return false;
}

} // namespace Tarnwick
