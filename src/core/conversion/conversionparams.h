#pragma once

#include "chaptermark.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace Tarnwick {

// A text subtitle file that goes into the output as a stream of its own.
struct SubtitleStream {
    QString path;
    QString language; // ISO 639-2 ("eng"); empty: undetermined
    QString title;    // what a player's menu shows ("English")
};

// One conversion as the engine's options see it. The conversion job sets the input, the
// container, the audio and video values, the output and overwrite; the other fields keep
// their start values and exist so that the option line can express everything the engine
// understands. Times are in milliseconds.
struct ConversionParams {
    QString input;
    int32_t startTime = 0;
    int32_t duration = 0;
    int64_t sizeLimit = 0; // bytes
    QString format;        // the engine's container name
    QString output;
    bool overwrite = true;
    int32_t mapFirstFile = -1;
    int32_t mapFirstStream = -1;
    int32_t mapSecondFile = -1;
    int32_t mapSecondStream = -1;
    QString secondInput;
    int32_t secondInputOffset = 0;
    bool disableAudio = false;
    QString audioCodec;
    int32_t channels = 0;
    int32_t sampleRate = 0;
    int32_t audioBitRate = 0;
    int32_t cropLeft = 0;
    int32_t cropTop = 0;
    int32_t cropRight = 0;
    int32_t cropBottom = 0;
    bool disableVideo = false;
    QString videoCodec;
    int32_t width = 0;
    int32_t height = 0;
    int32_t frameRateNum = 0;
    int32_t frameRateDen = 0;
    int32_t videoBitRate = 0;
    int32_t pixelFormat = -1; // an index into PixelFormatNames(); -1 leaves it to the engine
    QString title;
    QString author;
    QString copyright;
    QString comment;
    QString album;
    QString description; // only where TakesChapters, which came with it
    QString cover;       // a picture file to attach; only where TakesCovers
    int32_t year = 0;
    int32_t track = -1;
    QList<SubtitleStream> subtitles; // only for an engine that takes them (TakesSubtitles)
    QList<ChapterMark> chapters;     // in the order of their starts; only where TakesChapters
    QString extraArgs;               // appended to the line unchanged

    // Puts every field back to its start value.
    void Reset() { *this = ConversionParams(); }
};

// The engine's pixel-format names, by index.
const QStringList& PixelFormatNames();

// The option line for the engine. Every piece is preceded by one space, so the line begins
// with one; paths are enclosed in double quotes, metadata texts are not.
QString BuildCommandLine(const ConversionParams& params);
// The metadata options of the line alone (" -title ... -year 2026 -chapter ..."), for a line
// built by hand.
QString MetadataOptions(const ConversionParams& params);
// The subtitle options of the line alone (" -subtitle "..." -sublang eng ...").
QString SubtitleOptions(const QList<SubtitleStream>& subtitles);
// A path or text in double quotes, as the option line reads it back unchanged.
QString QuotedOptionText(const QString& text);

} // namespace Tarnwick
