#pragma once

#include <QList>
#include <QString>

namespace Tarnwick {

// One format an address offers, as a list of them shows it to the user and as an exact choice
// names it (id). Every field a source does not say is left empty or 0.
struct OfferedFormat {
    QString id;
    int height = 0;
    double frameRate = 0;
    QString pictureCodec; // as the source spells it ("avc1.64001f", "vp9")
    QString soundCodec;
    QString soundLanguage;
    bool hasPicture = true;
    bool hasSound = true;
    QString container; // "mp4", "ts", "webm"
    qint64 bytes = 0;  // the file's size, where the source says it
    double kbps = 0;   // the bit rate, where it says that instead
};

// A field the source does not give, as the lists show it: "-".
QString OrDash(const QString& text);
// The picture as a list shows it: "1080p30", "sound only", "unknown size".
QString OfferedPictureText(const OfferedFormat& format);
// "12.3 MiB", "900 kbit/s" or "-".
QString OfferedSizeText(const OfferedFormat& format);

// One line of --list-formats: "137  1080p30  avc1.640028  -  mp4  12.3 MiB  picture only".
QString FormatListingLine(const OfferedFormat& format);
// The heading over those lines.
QString FormatListingHeading();

} // namespace Tarnwick
