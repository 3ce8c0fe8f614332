#include "downloadrun.h"

namespace Tarnwick {

QString SummaryText(int successes, int failures) {
    return QStringLiteral("Completed: %1 success, %2 failure").arg(successes).arg(failures);
}

} // namespace Tarnwick
