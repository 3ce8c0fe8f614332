#include "vendor.h"

namespace Tarnwick {

QString SupportMailUrl() {
    return QStringLiteral("mailto:%1?subject=About %2").arg(SupportAddress, ProductTitle);
}

} // namespace Tarnwick
