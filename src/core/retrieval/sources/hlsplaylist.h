#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace Tarnwick {

// More segments than this is not a video anyone means to download in one piece, and holding
// their addresses would cost memory without bound.
constexpr int HlsSegmentLimit = 100000;

// One variant of a master playlist (EXT-X-STREAM-INF).
struct HlsVariant {
    QString uri; // as written, relative to the playlist
    qint64 bandwidth = 0;
    int width = 0;
    int height = 0;
    QString codecs;        // CODECS as written: "avc1.4d401f,mp4a.40.2"
    QString audioGroup;    // AUDIO: the GROUP-ID of the renditions that carry its sound
    QString subtitleGroup; // SUBTITLES: the GROUP-ID of the subtitles that go with it
    double frameRate = 0;
};

// One alternative sound or subtitle of a master playlist (EXT-X-MEDIA with TYPE=AUDIO or
// TYPE=SUBTITLES).
struct HlsRendition {
    QString groupId;
    QString name;
    QString language;
    QString uri; // empty: the sound is in the segments of the variants that name the group
    bool isDefault = false;
    bool autoselect = false;
    bool forced = false; // FORCED=YES: subtitles only of what is not in the spoken language
};

// One media segment, with the initialisation section (EXT-X-MAP) that applies to it.
struct HlsSegment {
    QString uri;
    QString mapUri; // empty for MPEG-TS segments
    double duration = 0;
};

// What a playlist says, as written: addresses are not resolved against the playlist.
struct HlsPlaylist {
    bool isPlaylist = false; // it starts with #EXTM3U
    bool isMaster = false;   // it lists variants (EXT-X-STREAM-INF)
    QList<HlsVariant> variants;
    QList<HlsRendition> audioRenditions;
    QList<HlsRendition> subtitleRenditions; // each a media playlist of WebVTT segments
    QList<HlsSegment> segments;             // at most HlsSegmentLimit are kept
    bool tooManySegments = false;
    bool hasEndList = false;    // EXT-X-ENDLIST: the list is complete (not live)
    QString encryption;         // the first EXT-X-KEY METHOD other than NONE
    bool hasByteRanges = false; // EXT-X-BYTERANGE segments (parts of one file)
    double totalDuration = 0;
};

// Reads an M3U8 playlist. Never fails: bytes that are not a playlist give isPlaylist false.
HlsPlaylist ParseHlsPlaylist(QByteArrayView bytes);

// Why a media playlist cannot be downloaded, as the job's failure text; empty when it can.
QString HlsRefusal(const HlsPlaylist& playlist);

// The value of one attribute of an attribute list ('BANDWIDTH=1280000,CODECS="a,b"'), without
// quotes; empty when absent.
QString HlsAttribute(QByteArrayView attributes, QByteArrayView name);

} // namespace Tarnwick
