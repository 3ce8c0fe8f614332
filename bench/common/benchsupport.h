#pragma once

#include <QString>

class QProcess;

namespace BenchSupport {

// One timed copy: how long it took and how many bytes arrived.
struct Measurement {
    double seconds = 0;
    qint64 bytes = 0;
    double worstDelayMs = 0; // where a window's event loop was watched

    double MiBPerSecond() const { return double(bytes) / (1024.0 * 1024.0) / seconds; }
};

// Starts build/bin/videosvc on a free loopback port, serving mediaDir; port receives the port.
bool StartSampleService(QProcess& service, const QString& binDir, const QString& mediaDir, int& port);

// The reference: `curl -s -o path url`, timed. The copy is removed afterwards.
bool MeasureCurl(const QString& url, const QString& path, Measurement& measurement);

} // namespace BenchSupport
