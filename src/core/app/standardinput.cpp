#include "standardinput.h"

#include <cstdio>

namespace Tarnwick {

QByteArray ReadStandardInput(qint64 limit) {
    QByteArray text;
    char buffer[16384];
    while (text.size() <= limit) {
        const size_t read = std::fread(buffer, 1, sizeof buffer, stdin);
        if (read == 0)
            break;
        text.append(buffer, qsizetype(read));
    }
    if (text.size() > limit + 1)
        text.truncate(limit + 1);
    return text;
}

} // namespace Tarnwick
