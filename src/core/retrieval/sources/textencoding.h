#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace Tarnwick {

enum class TextEncoding : int32_t {
    PlainText = 0,
    Utf8WithBom = 1,
    Utf16BigEndian = 2,
    Utf16LittleEndian = 3,
    Utf8WithoutBom = 4,
};

// Classifies the bytes of a page by their byte-order mark or by a UTF-8 check, and yields
// them as UTF-8 (UTF-16 is converted code unit by code unit). Plain text passes unchanged.
class TextEncodingDetector {
public:
    // The bytes as UTF-8, owned by the result: it stays valid whatever happens to the input or
    // the detector later (plain text shares the input's buffer). The classification is made on
    // the first call only.
    QByteArray Normalize(const QByteArray& input);

    TextEncoding Kind() const { return kind_; }
    quint32 HeaderLength() const { return headerLength_; }

private:
    void Classify(QByteArrayView input);
    QByteArray ConvertUtf16(QByteArrayView text) const;

    TextEncoding kind_ = TextEncoding::PlainText;
    quint32 headerLength_ = 0;
    bool firstCall_ = true;
};

// True when the whole buffer is UTF-8 without zero bytes and holds at least one multi-byte
// sequence. A sequence cut off by the end of the buffer ends the scan without failing it.
bool PassesUtf8Check(QByteArrayView bytes);

// The page text of UTF-8 bytes. Sequences that cannot be decoded become '?'; a sequence cut
// off by the end of the bytes is dropped.
QString Utf8ToAnsi(QByteArrayView bytes);

// Bytes that are neither UTF-8 nor UTF-16 are Windows-1252, which is what such pages meant
// where they were first read.
QString Windows1252ToText(QByteArrayView bytes);

// The page bytes as text, whatever their encoding.
QString PageBytesToText(const QByteArray& bytes);

} // namespace Tarnwick
