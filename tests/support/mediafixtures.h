#pragma once

#include <QString>

namespace TestSupport {

// What a fixture holds. Video is a test pattern, audio a sine tone.
struct FixtureContents {
    bool video = true;
    bool audio = true;
    int width = 320;
    int height = 240;
    int frameRate = 25;
    int sampleRate = 22050;
    int channels = 1;
    double seconds = 2.0;
};

// Makes a small media file with the ffmpeg tool; the container follows the file extension
// (".flv": Sorenson H.263 and MP3, ".mp4": H.264 and AAC). Returns false with the tool's
// output in *error when it fails.
bool MakeMediaFixture(const QString& path, const FixtureContents& contents, QString* error = nullptr);

} // namespace TestSupport
