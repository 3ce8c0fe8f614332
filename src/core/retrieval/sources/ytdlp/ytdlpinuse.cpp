#include "ytdlpinuse.h"

#include "update/privateytdlp.h"
#include "update/versionprobe.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace Tarnwick {

namespace {

YtDlpCandidate Probe(const QString& path, const std::function<bool()>& stopRequested) {
    if (path.isEmpty() || !QFileInfo(path).isExecutable())
        return {};
    return YtDlpCandidate{path, ProbeYtDlpVersion(path, stopRequested).version};
}

QString ProgramOnPath(const QString& name) {
    return QStandardPaths::findExecutable(name);
}

} // namespace

YtDlpInUse FindYtDlpInUse(const QString& configuredPath, const std::function<bool()>& stopRequested) {
    YtDlpInUse inUse;
    if (!configuredPath.isEmpty()) {
        const QString path =
            configuredPath.contains(QLatin1Char('/')) ? configuredPath : ProgramOnPath(configuredPath);
        const YtDlpCandidate configured = Probe(path, stopRequested);
        if (configured.IsUsable())
            inUse = {YtDlpOrigin::Configured, configured.path, configured.version};
        else
            inUse.path = configuredPath; // for the message: what was asked for
        return inUse;
    }
    const YtDlpCandidate own = Probe(PrivateYtDlpPath(), stopRequested);
    const YtDlpCandidate system = Probe(ProgramOnPath(QStringLiteral("yt-dlp")), stopRequested);
    inUse.origin = ChooseNewerYtDlp(own, system);
    const YtDlpCandidate& chosen = inUse.origin == YtDlpOrigin::Private ? own : system;
    if (inUse.IsFound()) {
        inUse.path = chosen.path;
        inUse.version = chosen.version;
    }
    return inUse;
}

QString YtDlpInUseText(const YtDlpInUse& inUse) {
    if (!inUse.IsFound() && !inUse.path.isEmpty())
        return QStringLiteral("not found (YtDlpPath names %1, which does not run)").arg(inUse.path);
    if (!inUse.IsFound())
        return QStringLiteral("not found (neither Tarnwick's own copy in %1 nor yt-dlp on PATH runs)")
            .arg(PrivateYtDlpFolder());
    return QStringLiteral("%1 (%2: %3)").arg(inUse.version, YtDlpOriginText(inUse.origin), inUse.path);
}

} // namespace Tarnwick
