#include "responseheaders.h"

#include <QtGlobal>

namespace Tarnwick {

namespace {

bool NameIs(const char* data, size_t size, const char* name) {
    const size_t length = qstrlen(name);
    return size >= length && qstrnicmp(data, name, length) == 0;
}

} // namespace

void ResponseHeaders::Take(const char* data, size_t size) {
    if (NameIs(data, size, "HTTP/")) {
        // "HTTP/1.1 404 Not Found": the code, then the reason phrase, which may hold blanks.
        *this = ResponseHeaders();
        const QByteArray line = QByteArray(data, qsizetype(size)).trimmed();
        const qsizetype codeStart = line.indexOf(' ');
        const qsizetype reasonStart = codeStart < 0 ? -1 : line.indexOf(' ', codeStart + 1);
        status = codeStart < 0 ? 0 : line.mid(codeStart + 1, reasonStart - codeStart - 1).toLong();
        reason = reasonStart < 0 ? QByteArray() : line.mid(reasonStart + 1).trimmed();
        return;
    }
    const struct {
        const char* name;
        QByteArray* value;
    } fields[] = {
        {"Content-Length:", &contentLength},
        {"Content-Type:", &contentType},
        {"Content-Disposition:", &contentDisposition},
        {"Content-Range:", &contentRange},
        {"Accept-Ranges:", &acceptRanges},
        {"ETag:", &etag},
        {"Last-Modified:", &lastModified},
        {"Retry-After:", &retryAfter},
    };
    // Codings applied one after another may be named in several header lines.
    if (NameIs(data, size, "Content-Encoding:")) {
        const QByteArray value = QByteArray(data + 17, qsizetype(size - 17)).trimmed();
        contentEncoding += (contentEncoding.isEmpty() || value.isEmpty() ? "" : ", ") + value;
        return;
    }
    for (const auto& field : fields) {
        if (NameIs(data, size, field.name)) {
            const size_t nameLength = qstrlen(field.name);
            *field.value = QByteArray(data + nameLength, qsizetype(size - nameLength)).trimmed();
            return;
        }
    }
    if (NameIs(data, size, "Location:"))
        hasLocation = true;
}

bool ResponseHeaders::IsEnd(const char* data, size_t size) {
    return size <= 2 && (size == 0 || data[0] == '\r' || data[0] == '\n');
}

} // namespace Tarnwick
