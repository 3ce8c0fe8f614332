#include "mediafixtures.h"

#include "testenvironment.h"

#include <QFileInfo>
#include <QProcess>
#include <QStringList>

namespace TestSupport {

bool MakeMediaFixture(const QString& path, const FixtureContents& contents, QString* error) {
    const QString duration = QString::number(contents.seconds, 'f', 3);
    QStringList args{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                     QStringLiteral("-y")};
    if (contents.video) {
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("testsrc=size=%1x%2:rate=%3:duration=%4")
                    .arg(contents.width)
                    .arg(contents.height)
                    .arg(contents.frameRate)
                    .arg(duration);
    }
    if (contents.audio) {
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=frequency=440:sample_rate=%1:duration=%2")
                    .arg(contents.sampleRate)
                    .arg(duration);
    }
    const bool mp4 = QFileInfo(path).suffix().compare(QStringLiteral("mp4"), Qt::CaseInsensitive) == 0;
    if (contents.video) {
        if (mp4)
            args << QStringLiteral("-c:v") << QStringLiteral("libx264") << QStringLiteral("-preset")
                 << QStringLiteral("ultrafast") << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p");
        else
            args << QStringLiteral("-c:v") << QStringLiteral("flv1") << QStringLiteral("-b:v")
                 << QStringLiteral("300k");
    }
    if (contents.audio) {
        args << QStringLiteral("-c:a") << (mp4 ? QStringLiteral("aac") : QStringLiteral("libmp3lame"))
             << QStringLiteral("-ac") << QString::number(contents.channels) << QStringLiteral("-b:a")
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
