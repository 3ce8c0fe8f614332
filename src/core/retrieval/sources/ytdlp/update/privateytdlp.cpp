#include "privateytdlp.h"

#include <QStandardPaths>

namespace Tarnwick {

QString PrivateYtDlpFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Ostrand/Tarnwick/yt-dlp");
}

QString PrivateYtDlpPath() {
    return PrivateYtDlpFolder() + QStringLiteral("/yt-dlp");
}

} // namespace Tarnwick
