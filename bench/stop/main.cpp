// bench_stop [rounds]: how long a transfer takes to end after Stop, in the states a transfer
// waits in: a stream that has stalled after data, a server that took the request and never
// answers, the wait before a retry, and a slow stream that is still flowing. The stop is made
// the way the window makes it: the request is set, then StopWakeup wakes the waiting transfer.
// Then tarnwick-fetch's Ctrl+C: SIGINT to a run whose stream is flowing, until the process has
// ended (its job kept for --resume).
// The goal is a median under 10 ms in every state; per state it prints the median, min and max
// latency and their ratio to that goal (at most 1.0 meets it).

#include "benchsupport.h"
#include "queue/progresssink.h"
#include "queue/stopwakeup.h"
#include "retrieval/transfer/httptransfer.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace Tarnwick;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double GoalMs = 10.0;
// How long the transfer sits in its state before the stop comes.
constexpr auto SettleTime = std::chrono::milliseconds(400);

// Stop is requested from another thread, as the window does; the sink only reads the flag.
class StopSink : public ProgressSink {
public:
    explicit StopSink(QString marker)
        : marker_(std::move(marker)) {}
    int Begin() override { return 0; }
    int End() override { return 0; }
    int Progress(int, int) override { return 0; }
    int Status(int, const QString& text) override {
        if (!marker_.isEmpty() && text.startsWith(marker_))
            reached = true;
        return 0;
    }
    int IsCancelled() override { return stop.load() ? 1 : 0; }

    std::atomic<bool> reached{false};
    std::atomic<bool> stop{false};

private:
    QString marker_;
};

// A loopback port whose connections the kernel accepts and nobody answers.
class SilentListener {
public:
    SilentListener() {
        socket_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(socket_, 64);
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~SilentListener() { close(socket_); }
    int Port() const { return port_; }

private:
    int socket_ = -1;
    int port_ = 0;
};

// One transfer, stopped once the sink has seen marker (or at once without one) and the
// state has settled; the milliseconds from the stop to the transfer's return.
double MeasureOnce(const QString& url, const QString& marker) {
    StopSink sink(marker);
    HttpTransfer transfer;
    transfer.OpenSession(&sink);
    transfer.SetReadBufferSize(4096);
    QBuffer target;
    target.open(QIODevice::WriteOnly);
    Clock::time_point stoppedAt;
    std::thread stopper([&] {
        while (!marker.isEmpty() && !sink.reached)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(SettleTime);
        stoppedAt = Clock::now();
        sink.stop = true;
        StopWakeup::WakeAll();
    });
    transfer.CopyUrlToFile(url, target);
    const Clock::time_point returnedAt = Clock::now();
    stopper.join();
    return std::chrono::duration<double, std::milli>(returnedAt - stoppedAt).count();
}

// tarnwick-fetch downloading a slow stream, in a profile of its own, interrupted once its
// download is under way; the milliseconds from SIGINT to the end of the process.
double MeasureInterruptOnce(const QString& program, const QString& url) {
    QTemporaryDir home;
    QProcess fetch;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        environment.insert(QString::fromLatin1(variable),
                           home.path() + QLatin1Char('/') + QLatin1String(variable));
    fetch.setProcessEnvironment(environment);
    fetch.setProcessChannelMode(QProcess::MergedChannels);
    fetch.setChildProcessModifier([] { ::setpgid(0, 0); });
    fetch.start(program, {home.path(), url});
    QByteArray seen;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
    while (!seen.contains("Downloading") && fetch.state() == QProcess::Running && Clock::now() < deadline) {
        fetch.waitForReadyRead(100);
        seen += fetch.readAll();
    }
    std::this_thread::sleep_for(SettleTime);
    const Clock::time_point stoppedAt = Clock::now();
    ::kill(pid_t(fetch.processId()), SIGINT);
    fetch.waitForFinished(30000);
    const double latency = std::chrono::duration<double, std::milli>(Clock::now() - stoppedAt).count();
    if (fetch.state() != QProcess::NotRunning) {
        ::kill(-pid_t(fetch.processId()), SIGKILL);
        fetch.waitForFinished();
    }
    return latency;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int rounds = argc > 1 ? qMax(1, atoi(argv[1])) : 15;

    QTemporaryDir media;
    QProcess service;
    int port = 0;
    if (!BenchSupport::StartSampleService(service, QCoreApplication::applicationDirPath(), media.path(),
                                          port)) {
        std::fprintf(stderr, "videosvc did not start\n");
        return 1;
    }
    SilentListener silent;
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(port);
    struct State {
        const char* name;
        QString url;
        QString marker;
    };
    const QList<State> states = {
        {"stalled after data", base + "/bytes?n=10000000&stall=65536", "64 KB / "},
        {"no answer to the request", QStringLiteral("http://127.0.0.1:%1/x").arg(silent.Port()), QString()},
        {"waiting to retry", base + "/bytes?n=10&fail=503&after=60&times=1000000&key=stop", "Retrying in"},
        {"slow stream flowing", base + "/bytes?n=100000000&rate=20000", "1 KB / "},
    };
    std::printf("Stop latency, %d rounds per state; goal %.0f ms\n", rounds, GoalMs);
    bool met = true;
    for (const State& state : states) {
        std::vector<double> latencies;
        for (int round = 0; round < rounds; ++round)
            latencies.push_back(MeasureOnce(state.url, state.marker));
        std::sort(latencies.begin(), latencies.end());
        const double median = latencies[latencies.size() / 2];
        const QByteArray label = QByteArray("stop latency, ") + state.name;
        BenchSupport::PrintFigure(label.constData(),
                                  BenchSupport::Summarize(QList<double>(latencies.begin(), latencies.end())),
                                  "ms", "at most 10");
        met = met && median <= GoalMs;
    }
    {
        const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick-fetch");
        std::vector<double> latencies;
        for (int round = 0; round < rounds; ++round)
            latencies.push_back(MeasureInterruptOnce(
                program, base + QStringLiteral("/bytes/interrupted.mp4?n=100000000&rate=200000")));
        std::sort(latencies.begin(), latencies.end());
        BenchSupport::PrintFigure("stop latency, tarnwick-fetch's Ctrl+C to its end",
                                  BenchSupport::Summarize(QList<double>(latencies.begin(), latencies.end())),
                                  "ms", "at most 10");
        met = met && latencies[latencies.size() / 2] <= GoalMs;
    }
    service.terminate();
    service.waitForFinished(5000);
    std::printf("%s\n", met ? "every median within the goal" : "some median above the goal");
    return met ? 0 : 1;
}
