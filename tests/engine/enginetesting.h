#pragma once

#include "queue/progresssink.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace EngineTesting {

// Records what the engine reports through the binding, and answers the stop question as
// the test says.
class RecordingSink : public Tarnwick::ProgressSink {
public:
    int begins = 0;
    int ends = 0;
    qint64 total = -1;
    QList<qint64> positions;
    QStringList activities;
    QStringList results;
    // Asked on every stop question; answers whether to stop.
    std::function<bool(const RecordingSink&)> stopWhen;

    int Begin() override { return ++begins, 0; }
    int End() override { return ++ends, 0; }
    int Progress(int kind, int value) override;
    int Status(int kind, const QString& text) override;
    int IsCancelled() override { return stopWhen && stopWhen(*this) ? 1 : 0; }

    // The last non-empty result text, for failure messages.
    QString Failure() const;
};

// What ffprobe says about a file.
struct ProbedStream {
    QString codec;
    int width = 0;
    int height = 0;
    double frameRate = 0;
    int sampleRate = 0;
    int channels = 0;
};

struct ProbedFile {
    bool ok = false;
    QString formatName; // "mov,mp4,m4a,3gp,3g2,mj2", "avi", ...
    QString brand;      // ISO files' major brand
    QString title;
    double duration = 0;
    QList<ProbedStream> video;
    QList<ProbedStream> audio;
};

ProbedFile ProbeWithFfprobe(const QString& path);

// Runs a tool (ffmpeg, ffprobe) to its end; its standard output, empty when it failed.
QByteArray RunTool(const QString& program, const QStringList& args);

// Writes bytes into a new file; false when it cannot.
bool WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);

} // namespace EngineTesting
