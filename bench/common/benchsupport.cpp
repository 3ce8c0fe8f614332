#include "benchsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

namespace BenchSupport {

bool StartSampleService(QProcess& service, const QString& binDir, const QString& mediaDir, int& port) {
    service.start(binDir + QStringLiteral("/videosvc"),
                  {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--media"), mediaDir});
    if (!service.waitForStarted(5000))
        return false;
    // The service prints its port on the first line once it listens.
    while (!service.canReadLine())
        if (!service.waitForReadyRead(5000))
            return false;
    port = service.readLine().trimmed().toInt();
    return port > 0;
}

bool MeasureCurl(const QString& url, const QString& path, Measurement& measurement) {
    QElapsedTimer timer;
    timer.start();
    const int exitCode =
        QProcess::execute(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), path, url});
    measurement.seconds = double(timer.nsecsElapsed()) / 1e9;
    measurement.bytes = QFile(path).size();
    QFile::remove(path);
    return exitCode == 0;
}

} // namespace BenchSupport
