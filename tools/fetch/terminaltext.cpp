#include "terminaltext.h"

#include <QStringDecoder>

namespace Tarnwick {

QString TerminalSafe(const QString& text) {
    QString safe;
    safe.reserve(text.size());
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit < 0x20 || unit == 0x7F)
            safe += QStringLiteral("\\x%1").arg(unit, 2, 16, QLatin1Char('0'));
        else if (unit >= 0x80 && unit < 0xA0)
            safe += QStringLiteral("\\u%1").arg(unit, 4, 16, QLatin1Char('0'));
        else
            safe += c;
    }
    return safe;
}

QString EscapedBytes(QByteArrayView bytes) {
    QString text;
    for (const char byte : bytes) {
        const uchar value = uchar(byte);
        if (value >= 0x20 && value < 0x7F)
            text += QLatin1Char(byte);
        else
            text += QStringLiteral("\\x%1").arg(value, 2, 16, QLatin1Char('0'));
    }
    return text;
}

bool IsValidUtf8(QByteArrayView bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(bytes);
    return !decoder.hasError();
}

} // namespace Tarnwick
