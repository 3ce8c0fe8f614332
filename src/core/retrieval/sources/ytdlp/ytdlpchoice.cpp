#include "ytdlpchoice.h"

#include "ytdlpversion.h"

#include <optional>

namespace Tarnwick {

YtDlpOrigin ChooseNewerYtDlp(const YtDlpCandidate& privateCopy, const YtDlpCandidate& onPath) {
    if (!privateCopy.IsUsable())
        return onPath.IsUsable() ? YtDlpOrigin::SystemPath : YtDlpOrigin::None;
    if (!onPath.IsUsable())
        return YtDlpOrigin::Private;
    const std::optional<YtDlpVersion> own = YtDlpVersion::Parse(privateCopy.version);
    const std::optional<YtDlpVersion> system = YtDlpVersion::Parse(onPath.version);
    if (own.has_value() != system.has_value())
        return own ? YtDlpOrigin::Private : YtDlpOrigin::SystemPath;
    if (own && *system > *own)
        return YtDlpOrigin::SystemPath;
    return YtDlpOrigin::Private;
}

QString YtDlpOriginText(YtDlpOrigin origin) {
    switch (origin) {
    case YtDlpOrigin::None:
        return QStringLiteral("not found");
    case YtDlpOrigin::Configured:
        return QStringLiteral("YtDlpPath in the settings");
    case YtDlpOrigin::Private:
        return QStringLiteral("Tarnwick's own copy");
    case YtDlpOrigin::SystemPath:
        return QStringLiteral("on PATH");
    }
    return QString();
}

} // namespace Tarnwick
