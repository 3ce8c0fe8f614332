#include "textencoding.h"

namespace Tarnwick {

namespace {

bool IsContinuation(uchar byte) {
    return (byte & 0xC0) == 0x80;
}

void AppendUtf8(QByteArray& out, quint16 unit) {
    if (unit < 0x80) {
        out.append(char(unit));
    } else if (unit < 0x800) {
        out.append(char(0xC0 | (unit >> 6)));
        out.append(char(0x80 | (unit & 0x3F)));
    } else {
        out.append(char(0xE0 | (unit >> 12)));
        out.append(char(0x80 | ((unit >> 6) & 0x3F)));
        out.append(char(0x80 | (unit & 0x3F)));
    }
}

// Code points of 0x80-0x9F in Windows-1252; the five unassigned bytes map to the C1 controls
// of the same value, as the system's own conversion does.
constexpr char16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

bool PassesUtf8Check(QByteArrayView bytes) {
    const qsizetype n = bytes.size();
    bool sawMultiByte = false;
    for (qsizetype i = 0; i < n;) {
        const uchar lead = uchar(bytes[i]);
        if (lead == 0)
            return false;
        if (lead < 0x80) {
            ++i;
        } else if (lead < 0xC0) {
            return false;
        } else if (lead < 0xE0) {
            if (i + 1 >= n)
                break;
            if ((lead & 0x1F) == 0 || !IsContinuation(uchar(bytes[i + 1])))
                return false;
            sawMultiByte = true;
            i += 2;
        } else if (lead < 0xF0) {
            if (n - i < 3)
                break;
            if ((lead & 0x0F) == 0 || !IsContinuation(uchar(bytes[i + 1])) ||
                !IsContinuation(uchar(bytes[i + 2])))
                return false;
            sawMultiByte = true;
            i += 3;
        } else if (lead < 0xF5) {
            // Four-byte sequences (characters beyond the 16-bit range, such as emoji) are
            // UTF-8 too; reading such a page as Windows-1252 would garble every other character.
            if (n - i < 4)
                break;
            if (!IsContinuation(uchar(bytes[i + 1])) || !IsContinuation(uchar(bytes[i + 2])) ||
                !IsContinuation(uchar(bytes[i + 3])))
                return false;
            sawMultiByte = true;
            i += 4;
        } else {
            return false;
        }
    }
    // A sequence cut off by the end stops the scan; what came before it decides.
    return sawMultiByte;
}

void TextEncodingDetector::Classify(QByteArrayView input) {
    const auto startsWith = [&](std::initializer_list<uchar> mark) {
        if (input.size() < qsizetype(mark.size()))
            return false;
        qsizetype i = 0;
        for (uchar byte : mark)
            if (uchar(input[i++]) != byte)
                return false;
        return true;
    };
    kind_ = TextEncoding::PlainText;
    headerLength_ = 0;
    if (input.size() < 2)
        return;
    if (startsWith({0xFE, 0xFF})) {
        kind_ = TextEncoding::Utf16BigEndian;
        headerLength_ = 2;
    } else if (startsWith({0xFF, 0xFE})) {
        kind_ = TextEncoding::Utf16LittleEndian;
        headerLength_ = 2;
    } else if (startsWith({0xEF, 0xBB, 0xBF})) {
        kind_ = TextEncoding::Utf8WithBom;
        headerLength_ = 3;
    } else if (PassesUtf8Check(input)) {
        kind_ = TextEncoding::Utf8WithoutBom;
    }
}

QByteArray TextEncodingDetector::ConvertUtf16(QByteArrayView text) const {
    const bool bigEndian = kind_ == TextEncoding::Utf16BigEndian;
    QByteArray output;
    output.reserve(text.size() / 2 + text.size() + 1);
    // Each code unit is written alone; surrogate pairs come out as two three-byte sequences,
    // which the ANSI conversion joins again. A final odd byte is not converted.
    for (qsizetype i = 0; i + 1 < text.size(); i += 2) {
        const uchar first = uchar(text[i]);
        const uchar second = uchar(text[i + 1]);
        AppendUtf8(output, bigEndian ? quint16(first << 8 | second) : quint16(second << 8 | first));
    }
    return output;
}

QByteArray TextEncodingDetector::Normalize(const QByteArray& input) {
    if (firstCall_) {
        Classify(input);
        firstCall_ = false;
    }
    switch (kind_) {
    case TextEncoding::Utf8WithBom:
        return input.size() >= 3 ? input.sliced(3) : QByteArray();
    case TextEncoding::Utf16BigEndian:
    case TextEncoding::Utf16LittleEndian:
        return ConvertUtf16(input.size() >= 2 ? QByteArrayView(input).sliced(2) : QByteArrayView());
    case TextEncoding::PlainText:
    case TextEncoding::Utf8WithoutBom:
        break;
    }
    return input;
}

QString Utf8ToAnsi(QByteArrayView bytes) {
    QString text;
    text.reserve(bytes.size());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const uchar lead = uchar(bytes[i]);
        int extra = 0;
        char32_t value = 0;
        if (lead < 0x80) {
            text.append(QChar(char16_t(lead)));
            ++i;
            continue;
        } else if (lead >= 0xC0 && lead < 0xE0) {
            extra = 1;
            value = lead & 0x1F;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            extra = 2;
            value = lead & 0x0F;
        } else if (lead >= 0xF0 && lead < 0xF5) {
            extra = 3;
            value = lead & 0x07;
        } else {
            text.append(QLatin1Char('?'));
            ++i;
            continue;
        }
        if (n - i <= extra)
            break; // cut off by the end of the page: dropped, never read past it
        bool wellFormed = true;
        for (int k = 1; k <= extra; ++k) {
            const uchar next = uchar(bytes[i + k]);
            wellFormed = wellFormed && IsContinuation(next);
            value = value << 6 | (next & 0x3F);
        }
        if (!wellFormed || value > 0x10FFFF) {
            text.append(QLatin1Char('?'));
            ++i;
            continue;
        }
        if (value >= 0x10000) {
            text.append(QChar::highSurrogate(value));
            text.append(QChar::lowSurrogate(value));
        } else {
            // Surrogates arrive one per sequence from UTF-16 pages; they are paired below.
            text.append(QChar(char16_t(value)));
        }
        i += extra + 1;
    }
    // A surrogate without its partner cannot be written as UTF-8.
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            text[i] = QLatin1Char('?');
    }
    return text;
}

QString Windows1252ToText(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar byte = uchar(bytes[i]);
        out[i] = (byte >= 0x80 && byte < 0xA0) ? QChar(Windows1252High[byte - 0x80]) : QChar(char16_t(byte));
    }
    return text;
}

QString PageBytesToText(const QByteArray& bytes) {
    TextEncodingDetector detector;
    const QByteArray utf8 = detector.Normalize(bytes);
    if (detector.Kind() == TextEncoding::PlainText)
        return Windows1252ToText(bytes);
    return Utf8ToAnsi(utf8);
}

} // namespace Tarnwick
