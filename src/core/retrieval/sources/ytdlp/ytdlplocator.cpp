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
YtDlpProgram ProbeYtDlp(const QString& program, const YtDlpVersionCache& cache,
                        const std::function<bool()>& stopRequested) {
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

// The rule of FindYtDlp, with versionOf telling what a program that is there answers.
YtDlpProgram ChooseYtDlp(const QString& configuredPath,
                         const std::function<YtDlpProgram(const QString& program)>& versionOf) {
    const auto candidate = [&versionOf](const QString& path) {
        return path.isEmpty() || !QFileInfo(path).isExecutable() ? YtDlpProgram() : versionOf(path);
    };
    if (!configuredPath.isEmpty()) {
        YtDlpProgram configured = candidate(ProgramPath(configuredPath));
        configured.origin = configured.IsFound() ? YtDlpOrigin::Configured : YtDlpOrigin::None;
        return configured;
    }
    YtDlpProgram own = candidate(PrivateYtDlpPath());
    YtDlpProgram system = candidate(ProgramPath(QString()));
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

} // namespace

YtDlpProgram FindYtDlp(const QString& configuredPath, const std::function<bool()>& stopRequested) {
    const YtDlpVersionCache cache;
    return ChooseYtDlp(configuredPath, [&cache, &stopRequested](const QString& program) {
        return ProbeYtDlp(program, cache, stopRequested);
    });
}

std::optional<YtDlpProgram> CachedYtDlp(const QString& configuredPath) {
    const YtDlpVersionCache cache;
    // A candidate that is not there needs no asking; one that is and is not in the cache does.
    bool known = true;
    YtDlpProgram chosen = ChooseYtDlp(configuredPath, [&cache, &known](const QString& program) {
        const std::optional<QString> version = cache.Version(program);
        known = known && version.has_value();
        return version ? YtDlpProgram{program, *version} : YtDlpProgram();
    });
    return known ? std::optional<YtDlpProgram>(std::move(chosen)) : std::nullopt;
}

} // namespace Tarnwick
