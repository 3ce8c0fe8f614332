#include "downloadjob.h"

#include <atomic>

namespace Tarnwick {

quint64 NewJobId() {
    static std::atomic<quint64> last{0};
    return ++last;
}

} // namespace Tarnwick
