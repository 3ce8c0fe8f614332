#include "limitedbuffer.h"

namespace Tarnwick {

LimitedBuffer::LimitedBuffer(qint64 limit)
    : limit_(limit) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool LimitedBuffer::Truncate(qint64 size) {
    if (size > data_.size())
        return false;
    data_.truncate(qsizetype(size));
    return true;
}

qint64 LimitedBuffer::readData(char*, qint64) {
    return -1;
}

qint64 LimitedBuffer::writeData(const char* data, qint64 size) {
    if (data_.size() + size > limit_) {
        overflowed_ = true;
        setErrorString(QStringLiteral("The page is larger than %1 MiB").arg(limit_ >> 20));
        return -1;
    }
    data_.append(data, qsizetype(size));
    return size;
}

} // namespace Tarnwick
