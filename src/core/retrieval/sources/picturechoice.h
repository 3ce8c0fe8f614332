#pragma once

#include "queue/jobstate.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace Tarnwick {

// What a job asks of the picture: the run's quality, among the pictures no taller than the
// user wants, in the codec the user prefers; or one exact format the user chose.
struct PictureWish {
    VideoQuality quality = VideoQuality::Standard;
    int largestPicture = 0; // a height in pixels; 0: no limit
    QString preferredCodec; // a family CodecFamily names ("h264", "vp9", ...); empty: any
    QString exactFormat;    // the id of one offer; empty: the rule chooses
};

// One picture a source offers, in the terms every source can give.
struct OfferedPicture {
    QString id;           // what an exact choice names it by
    int height = 0;       // 0: not known
    double bandwidth = 0; // compared only among the offers of one source; 0: not known
    QString codec;        // a family CodecFamily names; empty: not known
    // The source's own order among pictures of one height (what it fetches itself first,
    // say); lower goes first.
    int preference = 0;
    QString label; // what the status line calls its size: "720p", "1280x720"
};

struct PictureChoice {
    int index = -1; // into the offers; -1 when there are none
    // For the status line: "720p, largest of 3 at most 1080p"; empty when there was no choice.
    QString text;
};

// The one rule of every source. Pictures of a known height are ranked by height, each height
// counting once; those of no known height are taken only when no picture states one (then by
// bandwidth). The quality takes the smallest (Standard), the middle (HighFlv: the lower of two
// middle ones) or the largest (HighMp4) height at or below largestPicture; when no height is
// at or below it, the smallest above it. Among the pictures of that height one in the
// preferred codec goes first, then the source's preference, then the lower (Standard) or
// higher bandwidth, then the order of offers. An exact format that is offered is taken as it is.
PictureChoice ChoosePicture(const QList<OfferedPicture>& offers, const PictureWish& wish);

// A codec's family from the ways sources spell it ("avc1.64001f", "h264", "vp09.00.10.08",
// "hev1.1.6.L93", "mp4a.40.2", "opus"): "h264", "hevc", "vp9", "av1", "aac", ...; empty for a
// spelling it does not know.
QString CodecFamily(const QString& spelled);
bool IsPictureCodec(const QString& family);

// The families PreferredCodec may name, in the order Options offers them.
QStringList PreferableCodecs();

} // namespace Tarnwick
