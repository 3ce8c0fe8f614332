// bench_window: downloads a 1 GiB video through the main window (offscreen) from the sample
// video service on loopback, and the same stream address with `curl -o`, in the same run, and
// prints the median of the per-round ratios of the throughputs with their spread (goal: at
// least 0.85; the whole program in its own process is measured by bench_download). A timer on
// the window's thread
// measures how late its ticks come while the run goes on; the worst delay is the longest the
// window's event loop was blocked (goal: at most 50 ms).
//   bench_window [rounds] [bytes]
//
// The window's time runs from Download to the end of the run, so it includes resolving the
// watch page and copying the finished file into the output folder, as a user waits for them.

#include "app/appsettings.h"
#include "benchsupport.h"
#include "queue/joblistview.h"
#include "queue/mainwindow.h"
#include "retrieval/job/processjob.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

using namespace Tarnwick;
using BenchSupport::MeasureCurl;
using BenchSupport::Measurement;
using BenchSupport::StartSampleService;

namespace {

bool MeasureWindow(AppSettings& settings, const QString& pageUrl, Measurement& result, QString& streamUrl) {
    MainWindow window(settings, nullptr, nullptr, ProcessJob);
    window.SetMessageFunction([](const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); });
    window.show();
    window.AddUrl(pageUrl);
    // The first paint of a fresh window (fonts, style) is not part of the run: let it happen
    // before the clock starts.
    QEventLoop settle;
    QTimer::singleShot(200, &settle, &QEventLoop::quit);
    settle.exec();

    // Ticks every 5 ms on the window's thread; a tick that comes late shows the loop was busy.
    constexpr int TickMs = 5;
    QElapsedTimer clock;
    qint64 lastTick = 0;
    double worst = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(TickMs);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, double(now - lastTick) / 1e6 - TickMs);
        lastTick = now;
    });

    QEventLoop loop;
    QObject::connect(&window, &MainWindow::runFinished, &loop, &QEventLoop::quit);
    clock.start();
    ticker.start();
    window.StartRun();
    loop.exec();
    ticker.stop();
    result.seconds = double(clock.nsecsElapsed()) / 1e9;
    result.worstDelayMs = worst;

    const DownloadJob& job = window.Model()->Job(0);
    streamUrl = job.streamUrl;
    result.bytes = job.state == JobState::Succeeded ? QFile(job.outputPath).size() : 0;
    if (job.state == JobState::Succeeded)
        QFile::remove(job.outputPath);
    else
        std::fprintf(stderr, "the window's job ended in state %d: %s\n", int(job.state),
                     qPrintable(window.StatusText()));
    return job.state == JobState::Succeeded;
}

// The same page through the per-job procedure without a window (the console runner), so that
// the window's own share of the time shows apart from the procedure's.
bool MeasureProcedure(const QString& binDir, const QString& configHome, const QString& pageUrl,
                      const QString& folder, qint64 bytes, Measurement& measurement) {
    QProcess fetch;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    fetch.setProcessEnvironment(environment);
    fetch.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    fetch.start(binDir + QStringLiteral("/tarnwick-fetch"), {folder, pageUrl});
    const bool finished = fetch.waitForFinished(-1);
    measurement.seconds = double(timer.nsecsElapsed()) / 1e9;
    const QString path = folder + QStringLiteral("/Big video.flv");
    measurement.bytes = QFile(path).size();
    QFile::remove(path);
    return finished && measurement.bytes == bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int rounds = arguments.size() > 1 ? arguments[1].toInt() : 5;
    const qint64 bytes = arguments.size() > 2 ? arguments[2].toLongLong() : (qint64(1) << 30);

    QTemporaryDir media;
    QTemporaryDir output;
    if (!BenchSupport::MakeFileOfSize(media.filePath(QStringLiteral("big.flv")), bytes)) {
        std::fprintf(stderr, "Cannot write the %lld-byte video.\n", bytes);
        return 1;
    }
    QFile title(media.filePath(QStringLiteral("big.title")));
    if (!title.open(QIODevice::WriteOnly) || title.write("Big video") < 0)
        return 1;
    title.close();

    QProcess service;
    int port = 0;
    if (!StartSampleService(service, QCoreApplication::applicationDirPath(), media.path(), port)) {
        std::fprintf(stderr, "The sample video service did not start.\n");
        return 1;
    }
    AppSettings settings;
    settings.convert = false;
    settings.alwaysOverwrite = true;
    settings.defaultFolder = output.path();
    settings.videoHost = QStringLiteral("127.0.0.1:%1").arg(port);
    const QString page = QStringLiteral("http://%1/watch?v=big").arg(settings.videoHost);
    QTemporaryDir configHome;
    QDir().mkpath(configHome.filePath(QStringLiteral("Ostrand")));
    QFile conf(configHome.filePath(QStringLiteral("Ostrand/Tarnwick.conf")));
    if (!conf.open(QIODevice::WriteOnly) ||
        conf.write(QStringLiteral("[Settings]\nVideoHost=%1\nConvert=0\nAlwaysOverwrite=1\n")
                       .arg(settings.videoHost)
                       .toUtf8()) < 0)
        return 1;
    conf.close();
    const QString binDir = QCoreApplication::applicationDirPath();

    // A first run outside the rounds warms the caches and finds the stream's address for curl.
    Measurement warmUp;
    QString streamUrl;
    if (!MeasureWindow(settings, page, warmUp, streamUrl)) {
        std::fprintf(stderr, "The window's download failed.\n");
        return 1;
    }
    std::printf("Video of %lld bytes from %s, %d rounds, order turning each round\n", bytes, qPrintable(page),
                rounds);
    const auto whole = [bytes](bool ok, const Measurement& measurement) {
        return ok && measurement.bytes == bytes;
    };
    const QList<BenchSupport::Contender> contenders = {
        [&](Measurement& m) {
            QString ignored;
            return whole(MeasureWindow(settings, page, m, ignored), m);
        },
        [&](Measurement& m) {
            return whole(MeasureCurl(streamUrl, output.filePath(QStringLiteral("curl.flv")), m), m);
        },
        [&](Measurement& m) {
            return MeasureProcedure(binDir, configHome.path(), page, output.path(), bytes, m);
        },
    };
    QList<QList<Measurement>> results;
    double worstDelay = 0;
    const bool measured =
        BenchSupport::RunRounds(rounds, contenders, results, [&](int round, const QList<Measurement>& m) {
            std::printf("round %d: window %7.1f MiB/s   curl -o %7.1f MiB/s   procedure alone %7.1f MiB/s   "
                        "worst event-loop delay %5.1f ms\n",
                        round, m[0].MiBPerSecond(), m[1].MiBPerSecond(), m[2].MiBPerSecond(),
                        m[0].worstDelayMs);
            worstDelay = std::max(worstDelay, m[0].worstDelayMs);
        });
    if (measured) {
        BenchSupport::PrintRatio("window / curl -o", BenchSupport::ThroughputRatio(results, 0, 1),
                                 "at least 0.85");
        BenchSupport::PrintRatio("window / procedure alone (the window's own share)",
                                 BenchSupport::ThroughputRatio(results, 0, 2));
        BenchSupport::PrintFigure("window, worst event-loop delay", BenchSupport::Summarize({worstDelay}),
                                  "ms", "at most 50");
    }
    service.terminate();
    service.waitForFinished(5000);
    return measured ? 0 : 1;
}
