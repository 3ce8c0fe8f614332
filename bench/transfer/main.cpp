// bench_transfer: copies a 1 GiB body from the sample video service on loopback through
// HttpTransfer, with a sink that takes every text it is given, and through `curl -o`, in the
// same run, and prints the median of the per-round ratios of the throughputs with their spread.
// Goal: at least 0.9.
// A third copy, bare libcurl with the same 4096-byte reads and nothing else, separates what the
// read size costs from what the transfer's own work per chunk costs.
//   bench_transfer [rounds] [bytes]

#include "benchsupport.h"
#include "retrieval/transfer/httptransfer.h"
#include "showingsink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <curl/curl.h>

using namespace Tarnwick;
using BenchSupport::MeasureCurl;
using BenchSupport::Measurement;
using BenchSupport::ShowingSink;
using BenchSupport::StartSampleService;

namespace {

size_t WriteToFile(char* data, size_t, size_t size, void* file) {
    return size_t(static_cast<QFile*>(file)->write(data, qint64(size)));
}

bool MeasureBareLibcurl(const QString& url, const QString& path, Measurement& measurement) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QElapsedTimer timer;
    timer.start();
    CURL* handle = curl_easy_init();
    const QByteArray address = url.toUtf8();
    curl_easy_setopt(handle, CURLOPT_URL, address.constData());
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, 4096L);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &WriteToFile);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &file);
    const CURLcode code = curl_easy_perform(handle);
    curl_easy_cleanup(handle);
    file.close();
    measurement.seconds = double(timer.nsecsElapsed()) / 1e9;
    measurement.bytes = QFile(path).size();
    QFile::remove(path);
    return code == CURLE_OK;
}

bool MeasureTransfer(const QString& url, const QString& path, Measurement& measurement) {
    ShowingSink sink;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QElapsedTimer timer;
    timer.start();
    HttpTransfer transfer;
    transfer.OpenSession(&sink);
    transfer.SetReadBufferSize(4096);
    const bool copied = transfer.CopyUrlToFile(url, file);
    file.close();
    measurement.seconds = double(timer.nsecsElapsed()) / 1e9;
    measurement.bytes = QFile(path).size();
    QFile::remove(path);
    if (!copied)
        std::fprintf(stderr, "transfer failed: %s\n", qPrintable(sink.Result()));
    return copied;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int rounds = arguments.size() > 1 ? arguments[1].toInt() : 5;
    const qint64 bytes = arguments.size() > 2 ? arguments[2].toLongLong() : (qint64(1) << 30);

    QTemporaryDir work;
    QProcess service;
    int port = 0;
    if (!StartSampleService(service, QCoreApplication::applicationDirPath(), work.path(), port)) {
        std::fprintf(stderr, "The sample video service did not start.\n");
        return 1;
    }
    const QString url = QStringLiteral("http://127.0.0.1:%1/bytes?n=%2").arg(port).arg(bytes);
    const QString path = work.filePath(QStringLiteral("body"));

    std::printf("Body of %lld bytes from %s, %d rounds, order turning each round\n", bytes, qPrintable(url),
                rounds);
    // A copy that comes out short is a failed run, not a fast one.
    const auto whole = [bytes](bool ok, const Measurement& measurement) {
        return ok && measurement.bytes == bytes;
    };
    const QList<BenchSupport::Contender> contenders = {
        [&](Measurement& m) { return whole(MeasureCurl(url, path, m), m); },
        [&](Measurement& m) { return whole(MeasureBareLibcurl(url, path, m), m); },
        [&](Measurement& m) { return whole(MeasureTransfer(url, path, m), m); },
    };
    QList<QList<Measurement>> results;
    const bool measured =
        BenchSupport::RunRounds(rounds, contenders, results, [](int round, const QList<Measurement>& m) {
            std::printf("round %d: curl -o %8.1f MiB/s   libcurl, 4 KiB reads %8.1f MiB/s   HttpTransfer "
                        "%8.1f MiB/s\n",
                        round, m[0].MiBPerSecond(), m[1].MiBPerSecond(), m[2].MiBPerSecond());
        });
    if (measured) {
        BenchSupport::PrintRatio("HttpTransfer / curl -o", BenchSupport::ThroughputRatio(results, 2, 0),
                                 "at least 0.9");
        BenchSupport::PrintRatio("HttpTransfer / libcurl with 4 KiB reads",
                                 BenchSupport::ThroughputRatio(results, 2, 1));
    }
    service.terminate();
    service.waitForFinished(5000);
    return measured ? 0 : 1;
}
