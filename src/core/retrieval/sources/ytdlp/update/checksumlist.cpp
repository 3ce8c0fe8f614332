#include "checksumlist.h"

#include <QList>
#include <cctype>

namespace Tarnwick {

namespace {

bool IsSha256Hex(const QByteArray& text) {
    if (text.size() != 64)
        return false;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

} // namespace

QByteArray ChecksumFor(const QByteArray& sumsText, const QString& fileName) {
    const QByteArray wanted = fileName.toUtf8();
    for (QByteArray line : sumsText.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const qsizetype gap = line.indexOf(' ');
        if (gap < 0)
            continue;
        const QByteArray digest = line.left(gap);
        QByteArray name = line.mid(gap).trimmed();
        if (name.startsWith('*'))
            name.remove(0, 1);
        if (name == wanted && IsSha256Hex(digest))
            return digest.toLower();
    }
    return QByteArray();
}

} // namespace Tarnwick
