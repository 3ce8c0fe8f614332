#include "ytdlpinuse.h"

#include "update/privateytdlp.h"

namespace Tarnwick {

QString YtDlpInUseText(const YtDlpProgram& program, const QString& configuredPath) {
    if (program.IsFound())
        return QStringLiteral("%1 (%2: %3)")
            .arg(program.version, YtDlpOriginText(program.origin), program.path);
    if (!configuredPath.isEmpty())
        return QStringLiteral("not found (YtDlpPath names %1, which does not run)").arg(configuredPath);
    return QStringLiteral("not found (neither Tarnwick's own copy in %1 nor yt-dlp on PATH runs)")
        .arg(PrivateYtDlpFolder());
}

} // namespace Tarnwick
