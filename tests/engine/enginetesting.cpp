#include "enginetesting.h"

#include "testenvironment.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace EngineTesting {

int RecordingSink::Progress(int kind, int value) {
    if (kind == ProgressTotal)
        total = value;
    else
        positions << value;
    return 0;
}

int RecordingSink::Status(int kind, const QString& text) {
    (kind == StatusResult ? results : activities) << text;
    return 0;
}

QString RecordingSink::Failure() const {
    for (qsizetype i = results.size() - 1; i >= 0; --i) {
        if (!results[i].isEmpty())
            return results[i];
    }
    return QString();
}

namespace {

double ParseRate(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('/'));
    if (parts.size() != 2 || parts[1].toDouble() == 0)
        return 0;
    return parts[0].toDouble() / parts[1].toDouble();
}

} // namespace

ProbedFile ProbeWithFfprobe(const QString& path) {
    ProbedFile file;
    QProcess ffprobe;
    ffprobe.start(TestSupport::FfprobePath(),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_format"),
                   QStringLiteral("-show_streams"), QStringLiteral("-of"), QStringLiteral("json"), path});
    if (!ffprobe.waitForFinished(60000) || ffprobe.exitCode() != 0)
        return file;
    const QJsonObject root = QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
    const QJsonObject format = root.value(QStringLiteral("format")).toObject();
    file.formatName = format.value(QStringLiteral("format_name")).toString();
    file.duration = format.value(QStringLiteral("duration")).toString().toDouble();
    const QJsonObject tags = format.value(QStringLiteral("tags")).toObject();
    file.brand = tags.value(QStringLiteral("major_brand")).toString();
    file.title = tags.value(QStringLiteral("title")).toString();
    for (const QJsonValue& value : root.value(QStringLiteral("streams")).toArray()) {
        const QJsonObject stream = value.toObject();
        ProbedStream probed;
        probed.codec = stream.value(QStringLiteral("codec_name")).toString();
        probed.width = stream.value(QStringLiteral("width")).toInt();
        probed.height = stream.value(QStringLiteral("height")).toInt();
        probed.frameRate = ParseRate(stream.value(QStringLiteral("r_frame_rate")).toString());
        probed.sampleRate = stream.value(QStringLiteral("sample_rate")).toString().toInt();
        probed.channels = stream.value(QStringLiteral("channels")).toInt();
        const QString type = stream.value(QStringLiteral("codec_type")).toString();
        if (type == QLatin1String("video"))
            file.video << probed;
        else if (type == QLatin1String("audio"))
            file.audio << probed;
    }
    file.ok = true;
    return file;
}

QByteArray RunTool(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    process.waitForFinished(60000);
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0
               ? process.readAllStandardOutput()
               : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace EngineTesting
