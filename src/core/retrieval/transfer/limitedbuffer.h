#pragma once

#include <QByteArray>
#include <QIODevice>

namespace Tarnwick {

// A write-only memory target that refuses to grow past a limit, so that an endless or huge
// answer fails the fetch instead of exhausting memory.
class LimitedBuffer : public QIODevice {
public:
    explicit LimitedBuffer(qint64 limit);

    const QByteArray& Data() const { return data_; }
    QByteArray TakeData() { return std::exchange(data_, QByteArray()); }
    // Drops what lies beyond size, for a page that is fetched again from its start.
    bool Truncate(qint64 size);
    // A write was refused because it would have gone past the limit.
    bool Overflowed() const { return overflowed_; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    qint64 limit_;
    QByteArray data_;
    bool overflowed_ = false;
};

} // namespace Tarnwick
