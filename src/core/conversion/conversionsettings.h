#pragma once

#include <QString>
#include <cstdint>

namespace Tarnwick {

// The values of one preset, as a plain fixed-size record that is copied whole. Zero means
// "Auto" throughout: take the source file's own value. An empty codec key means no codec.
struct ConversionSettings {
    static constexpr int TextSize = 64; // 63 bytes of text and the terminator

    // Bits of flags.
    static constexpr uint32_t HasAudio = 0x1; // resolved records only: the format carries audio
    static constexpr uint32_t HasVideo = 0x2; // resolved records only: the format carries video
    static constexpr uint32_t AudioDisabled = 0x10;
    static constexpr uint32_t VideoDisabled = 0x20;
    static constexpr uint32_t FavoriteMark = 0x10000000;
    // Bits 28 to 31 only mark a preset for display; comparisons leave them out.
    static constexpr uint32_t ComparedFlags = 0x0FFFFFFF;

    char name[TextSize]; // the preset name; in a resolved record the engine's container name
    uint32_t flags;
    char audioCodec[TextSize]; // a codec key; in a resolved record the engine's codec name
    int32_t sampleRate;        // Hz
    int32_t audioBitRate;      // bits per second
    int32_t channels;
    char videoCodec[TextSize]; // a codec key; in a resolved record the engine's codec name
    int32_t frameRateNum;
    int32_t frameRateDen;
    int32_t videoBitRate; // bits per second
    int32_t width;
    int32_t height;
};

// A value-initialised record ({}) is all zeros: no name, no codecs, every value Auto.
ConversionSettings ZeroSettings();

// Copies text into a record field, cut to the field's 63 bytes without splitting a UTF-8
// sequence, so that a long name from a file can never run past the field.
void SetText(char (&field)[ConversionSettings::TextSize], const QString& text);
void SetText(char (&field)[ConversionSettings::TextSize], const char* text);
QString TextOf(const char (&field)[ConversionSettings::TextSize]);

// The source file's first video stream and first audio stream, as the engine's probe reports
// them; 0 where the file does not tell.
struct SourceVideo {
    int frameRateNum = 0;
    int frameRateDen = 0;
    int bitRate = 0;
    int width = 0;
    int height = 0;
};

struct SourceAudio {
    int sampleRate = 0;
    int bitRate = 0;
    int channels = 0;
};

} // namespace Tarnwick
