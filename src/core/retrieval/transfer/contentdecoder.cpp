#include "contentdecoder.h"

#include <QIODevice>
#include <zlib.h>

namespace Tarnwick {

namespace {

// Decoded text is handed to the target in pieces of this size, however much one compressed
// block expands to.
constexpr uInt OutputPieceSize = 64 * 1024;

// RFC 1950: compression method 8 in the low nibble, and the two header bytes a multiple of 31.
bool IsZlibHeader(unsigned char first, unsigned char second) {
    return (first & 0x0F) == 8 && ((first << 8) | second) % 31 == 0;
}

} // namespace

struct ContentDecoder::Inflater {
    z_stream stream{};
    bool open = false;
    QByteArray output;

    bool Open(int windowBits) {
        Close();
        stream = z_stream{};
        open = inflateInit2(&stream, windowBits) == Z_OK;
        if (output.isEmpty())
            output.resize(OutputPieceSize);
        return open;
    }
    void Close() {
        if (open)
            inflateEnd(&stream);
        open = false;
    }
    ~Inflater() { Close(); }
};

ContentDecoder::ContentDecoder()
    : inflater_(std::make_unique<Inflater>()) {}

ContentDecoder::~ContentDecoder() = default;

const char* ContentDecoder::AcceptedEncodings() {
    return "gzip, deflate";
}

bool ContentDecoder::Fail(const QString& text) {
    failure_ = text;
    inflater_->Close();
    return false;
}

QString ContentDecoder::CodingName() const {
    return coding_ == Coding::Gzip ? QStringLiteral("gzip") : QStringLiteral("deflate");
}

bool ContentDecoder::Start(const QByteArray& contentEncoding) {
    inflater_->Close();
    coding_ = Coding::Identity;
    pending_.clear();
    ended_ = false;
    sawBody_ = false;
    failure_.clear();

    QList<QByteArray> codings;
    for (const QByteArray& token : contentEncoding.split(',')) {
        const QByteArray coding = token.trimmed().toLower();
        if (!coding.isEmpty() && coding != "identity")
            codings.append(coding);
    }
    if (codings.isEmpty())
        return true;
    if (codings.size() > 1)
        return Fail(QStringLiteral("The answer is compressed more than once (%1), which cannot be decoded")
                        .arg(QString::fromLatin1(codings.join(", "))));
    if (codings[0] == "gzip" || codings[0] == "x-gzip") {
        coding_ = Coding::Gzip;
        return true;
    }
    if (codings[0] == "deflate") {
        coding_ = Coding::Deflate;
        return true;
    }
    return Fail(QStringLiteral("The answer is compressed as \"%1\", which cannot be decoded")
                    .arg(QString::fromLatin1(codings[0].left(40))));
}

bool ContentDecoder::Write(const char* data, qint64 size, QIODevice& target) {
    if (size <= 0)
        return true;
    sawBody_ = true;
    if (coding_ == Coding::Identity) {
        if (target.write(data, size) == size)
            return true;
        return Fail(target.errorString());
    }
    if (ended_ || !failure_.isEmpty())
        return failure_.isEmpty();
    if (!inflater_->open) {
        // "deflate" is meant to be zlib data, but some servers send the raw stream, which
        // browsers accept too; the first two bytes tell them apart.
        int windowBits = MAX_WBITS + 16;
        if (coding_ == Coding::Deflate) {
            if (pending_.size() + size < 2) {
                pending_.append(data, qsizetype(size));
                return true;
            }
            const QByteArray start = pending_ + QByteArray(data, qsizetype(qMin<qint64>(size, 2)));
            windowBits = IsZlibHeader(uchar(start[0]), uchar(start[1])) ? MAX_WBITS : -MAX_WBITS;
        }
        if (!inflater_->Open(windowBits))
            return Fail(QStringLiteral("Cannot set up the %1 decoder").arg(CodingName()));
        const QByteArray held = std::exchange(pending_, QByteArray());
        if (!held.isEmpty() && !Inflate(held.constData(), held.size(), target))
            return false;
    }
    return Inflate(data, size, target);
}

bool ContentDecoder::Inflate(const char* data, qint64 size, QIODevice& target) {
    z_stream& stream = inflater_->stream;
    char* const output = inflater_->output.data();
    while (size > 0 && !ended_) {
        // zlib counts in 32 bits; a block is far smaller, but nothing here relies on that.
        const uInt piece = uInt(qMin<qint64>(size, qint64(1) << 30));
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        stream.avail_in = piece;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(output);
            stream.avail_out = OutputPieceSize;
            const int result = inflate(&stream, Z_NO_FLUSH);
            const qint64 produced = qint64(OutputPieceSize - stream.avail_out);
            if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
                return Fail(QStringLiteral("The %1-compressed answer is damaged (%2)")
                                .arg(CodingName(),
                                     QString::fromLatin1(stream.msg != nullptr ? stream.msg : "bad data")));
            if (produced > 0 && target.write(output, produced) != produced)
                return Fail(target.errorString());
            if (result == Z_STREAM_END) {
                // What follows a complete stream is not part of the text, as browsers read it.
                ended_ = true;
                inflater_->Close();
                return true;
            }
            if (result == Z_BUF_ERROR)
                break; // nothing more can be done with what has arrived
        } while (stream.avail_in > 0 || stream.avail_out == 0);
        data += piece;
        size -= piece;
    }
    return true;
}

bool ContentDecoder::Finish() {
    if (!failure_.isEmpty())
        return false;
    if (coding_ == Coding::Identity || !sawBody_ || ended_)
        return true;
    return Fail(QStringLiteral("The %1-compressed answer ended before its compressed data did: it arrived "
                               "incomplete")
                    .arg(CodingName()));
}

} // namespace Tarnwick
