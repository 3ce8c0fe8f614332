#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

class QIODevice;

namespace Tarnwick {

// Undoes the Content-Encoding of an answer whose body Tarnwick reads itself (a page, a
// playlist), as browsers do: the body is decoded as it arrives, in bounded pieces, so that the
// target's own size limit applies to the decoded text and a small compressed body cannot
// expand without limit in memory. Media bodies are never decoded: they are saved as stored.
class ContentDecoder {
public:
    ContentDecoder();
    ~ContentDecoder();
    ContentDecoder(const ContentDecoder&) = delete;
    ContentDecoder& operator=(const ContentDecoder&) = delete;

    // The Accept-Encoding value of requests whose answers are decoded here.
    static const char* AcceptedEncodings();

    // Prepares for one answer's body, whatever its Content-Encoding header says (empty: none).
    // False, with Failure(), for an encoding that cannot be decoded.
    bool Start(const QByteArray& contentEncoding);
    // Decodes the next piece of the body into target. False, with Failure(), when the bytes are
    // not what the encoding says or the target refuses them. Bytes after the end of a complete
    // compressed stream are ignored.
    bool Write(const char* data, qint64 size, QIODevice& target);
    // The body has ended. False, with Failure(), when the compressed stream was cut short.
    bool Finish();

    const QString& Failure() const { return failure_; }

private:
    enum class Coding { Identity, Gzip, Deflate };
    struct Inflater;

    bool Fail(const QString& text);
    bool Inflate(const char* data, qint64 size, QIODevice& target);
    QString CodingName() const;

    Coding coding_ = Coding::Identity;
    std::unique_ptr<Inflater> inflater_;
    // The first byte of a deflate body, held until the second tells a zlib header from raw data.
    QByteArray pending_;
    bool ended_ = false;
    bool sawBody_ = false;
    QString failure_;
};

} // namespace Tarnwick
