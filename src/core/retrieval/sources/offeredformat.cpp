#include "offeredformat.h"

#include <QStringList>

namespace Tarnwick {

namespace {

QString WhatItCarries(const OfferedFormat& format) {
    if (format.hasPicture && format.hasSound)
        return QStringLiteral("picture and sound");
    return format.hasPicture ? QStringLiteral("picture only") : QStringLiteral("sound only");
}

QString Columns(const QStringList& fields) {
    static const int widths[] = {14, 12, 16, 16, 6, 6, 14};
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i)
        line += i + 1 < fields.size() && i < 7 ? fields[i].leftJustified(widths[i]) + QLatin1Char(' ')
                                               : fields[i];
    return line;
}

} // namespace

QString OrDash(const QString& text) {
    return text.isEmpty() ? QStringLiteral("-") : text;
}

QString OfferedPictureText(const OfferedFormat& format) {
    if (!format.hasPicture)
        return QStringLiteral("sound only");
    if (format.height <= 0)
        return QStringLiteral("unknown size");
    QString text = QStringLiteral("%1p").arg(format.height);
    if (format.frameRate > 0)
        text += QString::number(qRound(format.frameRate));
    return text;
}

QString OfferedSizeText(const OfferedFormat& format) {
    if (format.bytes > 0)
        return QStringLiteral("%1 MiB").arg(double(format.bytes) / (1024.0 * 1024.0), 0, 'f', 1);
    if (format.kbps > 0)
        return QStringLiteral("%1 kbit/s").arg(qRound(format.kbps));
    return QStringLiteral("-");
}

QString FormatListingLine(const OfferedFormat& format) {
    return Columns({format.id, OfferedPictureText(format),
                    OrDash(format.hasPicture ? format.pictureCodec : QString()),
                    OrDash(format.hasSound ? format.soundCodec : QString()), OrDash(format.soundLanguage),
                    OrDash(format.container), OfferedSizeText(format), WhatItCarries(format)});
}

QString FormatListingHeading() {
    return Columns({QStringLiteral("ID"), QStringLiteral("PICTURE"), QStringLiteral("PICTURE CODEC"),
                    QStringLiteral("SOUND CODEC"), QStringLiteral("LANG"), QStringLiteral("FORMAT"),
                    QStringLiteral("SIZE"), QStringLiteral("CARRIES")});
}

} // namespace Tarnwick
