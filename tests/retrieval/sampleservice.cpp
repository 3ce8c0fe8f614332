#include "sampleservice.h"

#include "mediafixtures.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>

SampleService::SampleService() = default;

SampleService::~SampleService() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(5000);
    }
}

bool SampleService::Start(const QStringList& options) {
    process_.setProgram(TestSupport::BinDir() + QStringLiteral("/videosvc"));
    process_.setArguments(
        QStringList{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--media"), media_.path()} +
        options);
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start();
    if (!process_.waitForStarted(5000)) {
        error_ = process_.errorString();
        return false;
    }
    while (!process_.canReadLine()) {
        if (!process_.waitForReadyRead(5000)) {
            error_ = QStringLiteral("videosvc printed no port: ") +
                     QString::fromLocal8Bit(process_.readAllStandardError());
            return false;
        }
    }
    port_ = process_.readLine().trimmed().toInt();
    if (port_ <= 0)
        error_ = QStringLiteral("videosvc printed no port");
    return port_ > 0;
}

QString SampleService::Host() const {
    return QStringLiteral("127.0.0.1:%1").arg(port_);
}

QString SampleService::Url(const QString& pathAndQuery) const {
    return QStringLiteral("http://") + Host() + pathAndQuery;
}

QString SampleService::WatchUrl(const QString& id) const {
    return Url(QStringLiteral("/watch?v=") + id);
}

bool SampleService::AddMedia(const QString& fileName, const QByteArray& contents) const {
    QFile file(media_.filePath(fileName));
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

bool SampleService::AddSampleVideos() {
    TestSupport::FixtureContents contents;
    contents.seconds = 1.0;
    contents.width = 160;
    contents.height = 120;
    return TestSupport::MakeMediaFixture(media_.filePath(QStringLiteral("sample.flv")), contents) &&
           TestSupport::MakeMediaFixture(media_.filePath(QStringLiteral("sample.mp4")), contents);
}

bool SampleService::AddWebMedia(const QString& id, const QStringList& extra) {
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(TestSupport::BinDir() + QStringLiteral("/make-web-media"),
                 QStringList{media_.path(), id} + extra);
    const bool ok = script.waitForFinished(300000) && script.exitStatus() == QProcess::NormalExit &&
                    script.exitCode() == 0;
    if (!ok)
        error_ = QString::fromLocal8Bit(script.readAll()) + script.errorString();
    return ok;
}

QByteArray SampleService::MediaBytes(const QString& fileName) const {
    QFile file(media_.filePath(fileName));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

unsigned char PatternByte(qint64 position) {
    const qint64 i = position % 65521;
    return static_cast<unsigned char>((i * 31 + i / 251) & 0xFF);
}

QByteArray PatternBytes(qint64 length) {
    QByteArray bytes(length, Qt::Uninitialized);
    for (qint64 i = 0; i < length; ++i)
        bytes[i] = char(PatternByte(i));
    return bytes;
}

QByteArray SampleService::Get(const QString& pathAndQuery) const {
    QProcess curl;
    curl.start(QStringLiteral("curl"), {QStringLiteral("-sf"), Url(pathAndQuery)});
    if (!curl.waitForFinished(30000) || curl.exitCode() != 0)
        return {};
    return curl.readAllStandardOutput();
}

QByteArray VersionedBytes(qint64 length, int version) {
    QByteArray bytes = PatternBytes(length);
    const char flip = version <= 1 ? 0 : char(((version - 1) * 0x3B) | 1);
    for (char& byte : bytes)
        byte = char(byte ^ flip);
    return bytes;
}

ServedLog Served(const SampleService& service) {
    ServedLog log;
    QStringList lines = QString::fromUtf8(service.Get(QStringLiteral("/served"))).split(QLatin1Char('\n'));
    if (lines.isEmpty() || !lines.first().startsWith(QStringLiteral("bytes ")))
        return log;
    log.bytes = lines.takeFirst().mid(6).toLongLong();
    lines.removeAll(QString());
    log.requests = lines;
    return log;
}
