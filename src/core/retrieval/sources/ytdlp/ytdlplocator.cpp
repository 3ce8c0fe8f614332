#include "ytdlplocator.h"

#include "groupprocess.h"
#include "update/privateytdlp.h"
#include "ytdlpversioncache.h"

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

// Asks program for its version, unless the cache knows what this very file answered.
YtDlpProgram ProbeYtDlp(const QString& program, const std::function<bool()>& stopRequested) {
    if (program.isEmpty())
        return {};
    const YtDlpVersionCache cache;
    if (const std::optional<QString> known = cache.Version(program))
        return {program, *known};
    GroupProcessRequest request;
    request.program = program;
    request.arguments = {QStringLiteral("--ignore-config"), QStringLiteral("--version")};
    // A cold start of the Python program on a busy machine can take several seconds.
    request.silenceLimitMs = 20000;
    request.outputCap = 4096;
    request.shouldStop = stopRequested;
    const GroupProcessResult result = RunGroupProcess(request);
    if (result.end != GroupProcessResult::End::Exited || result.exitCode != 0)
        return {};
    const QString version = QString::fromUtf8(result.output).section(QLatin1Char('\n'), 0, 0).trimmed();
    if (!LooksLikeVersion(version))
        return {};
    cache.Remember(program, version);
    return {program, version};
}

} // namespace

YtDlpProgram FindYtDlp(const QString& configuredPath, const std::function<bool()>& stopRequested) {
    if (!configuredPath.isEmpty()) {
        YtDlpProgram configured = ProbeYtDlp(ProgramPath(configuredPath), stopRequested);
        configured.origin = configured.IsFound() ? YtDlpOrigin::Configured : YtDlpOrigin::None;
        return configured;
    }
    const QString ownPath = PrivateYtDlpPath();
    YtDlpProgram own =
        QFileInfo(ownPath).isExecutable() ? ProbeYtDlp(ownPath, stopRequested) : YtDlpProgram();
    YtDlpProgram system = ProbeYtDlp(ProgramPath(QString()), stopRequested);
    switch (ChooseNewerYtDlp({own.path, own.version}, {system.path, system.version})) {
    case YtDlpOrigin::Private:
        own.origin = YtDlpOrigin::Private;
        return own;
    case YtDlpOrigin::SystemPath:
        system.origin = YtDlpOrigin::SystemPath;
        return system;
    default:
        return {};
    }
}

std::optional<YtDlpProgram> CachedYtDlp(const QString& configuredPath) {
    const YtDlpVersionCache cache;
    bool known = true;
    // A candidate that is not there needs no asking; one that is and is not in the cache does.
    const auto cached = [&cache, &known](const QString& path) -> YtDlpProgram {
        if (path.isEmpty() || !QFileInfo(path).isExecutable())
            return {};
        const std::optional<QString> version = cache.Version(path);
        known = known && version.has_value();
        return version ? YtDlpProgram{path, *version} : YtDlpProgram();
    };
    YtDlpProgram chosen;
    if (!configuredPath.isEmpty()) {
        chosen = cached(ProgramPath(configuredPath));
        chosen.origin = chosen.IsFound() ? YtDlpOrigin::Configured : YtDlpOrigin::None;
    } else {
        const YtDlpProgram own = cached(PrivateYtDlpPath());
        const YtDlpProgram system = cached(ProgramPath(QString()));
        const YtDlpOrigin origin = ChooseNewerYtDlp({own.path, own.version}, {system.path, system.version});
        if (origin != YtDlpOrigin::None)
            chosen = origin == YtDlpOrigin::Private ? own : system;
        chosen.origin = origin;
    }
    return known ? std::optional<YtDlpProgram>(chosen) : std::nullopt;
}

} // namespace Tarnwick
