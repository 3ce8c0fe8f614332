#include "ytdlplocator.h"

#include "groupprocess.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace Tarnwick {

namespace {

QString ProgramPath(const QString& configuredPath) {
    if (configuredPath.isEmpty())
        return QStandardPaths::findExecutable(QStringLiteral("yt-dlp"));
    if (!configuredPath.contains(QLatin1Char('/')) && !configuredPath.contains(QLatin1Char('\\')))
        return QStandardPaths::findExecutable(configuredPath);
    const QFileInfo info(configuredPath);
    return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
}

// A version is one short line of printable text; anything else did not come from yt-dlp.
bool LooksLikeVersion(const QString& text) {
    if (text.isEmpty() || text.size() > 64)
        return false;
    for (const QChar c : text) {
        if (!c.isPrint() || c.isSpace())
            return false;
    }
    return true;
}

} // namespace

YtDlpProgram FindYtDlp(const QString& configuredPath) {
    const QString program = ProgramPath(configuredPath);
    if (program.isEmpty())
        return {};
    GroupProcessRequest request;
    request.program = program;
    request.arguments = {QStringLiteral("--ignore-config"), QStringLiteral("--version")};
    // A cold start of the Python program on a busy machine can take several seconds.
    request.silenceLimitMs = 20000;
    request.outputCap = 4096;
    const GroupProcessResult result = RunGroupProcess(request);
    if (result.end != GroupProcessResult::End::Exited || result.exitCode != 0)
        return {};
    const QString version = QString::fromUtf8(result.output).section(QLatin1Char('\n'), 0, 0).trimmed();
    if (!LooksLikeVersion(version))
        return {};
    return {program, version};
}

} // namespace Tarnwick
