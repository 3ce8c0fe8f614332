#include "mediafixtures.h"

#include "testenvironment.h"

#include <QFileInfo>
#include <QProcess>
#include <QStringList>

namespace TestSupport {

bool MakeMediaFixture(const QString& path, const FixtureSpec& spec, QString* error) {
    const QString duration = QString::number(spec.seconds, 'f', 3);
    QStringList args{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                     QStringLiteral("-y")};
    if (spec.video) {
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("testsrc=size=%1x%2:rate=%3:duration=%4")
                    .arg(spec.width)
                    .arg(spec.height)
                    .arg(spec.frameRate)
                    .arg(duration);
    }
    if (spec.audio) {
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=frequency=440:sample_rate=%1:duration=%2")
                    .arg(spec.sampleRate)
                    .arg(duration);
    }
    const bool mp4 = QFileInfo(path).suffix().compare(QStringLiteral("mp4"), Qt::CaseInsensitive) == 0;
    if (spec.video) {
        if (mp4)
            args << QStringLiteral("-c:v") << QStringLiteral("libx264") << QStringLiteral("-preset")
                 << QStringLiteral("ultrafast") << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p");
        else
            args << QStringLiteral("-c:v") << QStringLiteral("flv1") << QStringLiteral("-b:v")
                 << QStringLiteral("300k");
    }
    if (spec.audio) {
        args << QStringLiteral("-c:a") << (mp4 ? QStringLiteral("aac") : QStringLiteral("libmp3lame"))
             << QStringLiteral("-ac") << QString::number(spec.channels) << QStringLiteral("-b:a")
             << QStringLiteral("64k");
    }
    args << path;

    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(FfmpegPath(), args);
    const bool finished = ffmpeg.waitForFinished(120000);
    const bool ok = finished && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
    if (!ok && error != nullptr)
        *error = QString::fromLocal8Bit(ffmpeg.readAll()) + ffmpeg.errorString();
    return ok;
}

} // namespace TestSupport
