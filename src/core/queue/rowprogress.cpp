#include "rowprogress.h"

#include <QMutexLocker>

namespace Tarnwick {

void RowProgressBoard::Set(quint64 id, Row row) {
    QMutexLocker lock(&mutex_);
    pending_.insert(id, std::move(row));
}

void RowProgressBoard::Remove(quint64 id) {
    QMutexLocker lock(&mutex_);
    pending_.insert(id, std::nullopt);
}

QHash<quint64, std::optional<RowProgressBoard::Row>> RowProgressBoard::TakeChanges() {
    QMutexLocker lock(&mutex_);
    return std::exchange(pending_, {});
}

QString ShortSizeText(double bytes) {
    if (bytes >= 1e9)
        return QStringLiteral("%1 GB").arg(bytes / 1e9, 0, 'f', 2);
    if (bytes >= 1e6)
        return QStringLiteral("%1 MB").arg(bytes / 1e6, 0, 'f', 1);
    return QStringLiteral("%1 KB").arg(qRound(bytes / 1e3));
}

QString SeveralJobsStatusText(int firstRow, int lastRow, int rowCount, int inProgress,
                              double bytesPerSecond) {
    const QString rows =
        firstRow == lastRow ? QString::number(firstRow) : QStringLiteral("%1-%2").arg(firstRow).arg(lastRow);
    return QStringLiteral("[%1 / %2] %3 downloading, %4/s")
        .arg(rows)
        .arg(rowCount)
        .arg(inProgress)
        .arg(ShortSizeText(bytesPerSecond));
}

RowProgressSink::RowProgressSink(quint64 id, RunPhase phase, bool converts, const RunState& run,
                                 RowProgressBoard& board)
    : id_(id)
    , phase_(phase)
    , converts_(converts)
    , run_(run)
    , board_(board) {
    clock_.start();
}

int RowProgressSink::Begin() {
    totalKB_ = 0;
    positionKB_ = 0;
    shownPercent_ = -1;
    shownAtMs_ = 0;
    speedFromMs_ = 0;
    speedFromKB_ = 0;
    speed_ = 0;
    clock_.start();
    return 0;
}

int RowProgressSink::Progress(int kind, int value) {
    if (kind == ProgressTotal) {
        totalKB_ = value;
        return 0;
    }
    positionKB_ = value;
    Publish();
    return 0;
}

int RowProgressSink::Status(int kind, const QString& text) {
    if (kind == StatusResult && !text.isEmpty())
        lastResult_ = text;
    if (kind == StatusWaiting)
        Publish(text);
    return 0;
}

void RowProgressSink::Publish(const QString& waiting) {
    // A transfer's position (KB) or a conversion's percent.
    const bool download = phase_ == RunPhase::PhaseDownload;
    const double done = download ? (totalKB_ > 0 ? 100.0 * positionKB_ / totalKB_ : 0.0) : positionKB_;
    const double percent = !converts_ ? done : download ? done / 2 : 50 + done / 2;
    const int whole = int(percent);
    // A new whole percent, or a second since the last text: the speed moves without it.
    const qint64 now = clock_.elapsed();
    if (waiting.isEmpty() && whole == shownPercent_ && now - shownAtMs_ < 1000)
        return;
    shownPercent_ = whole;
    shownAtMs_ = now;
    // Over the last half second or more: the first blocks arrive in one burst from the
    // connection's buffers and would tell of a speed the line does not have.
    if (download && now - speedFromMs_ >= 500) {
        speed_ = 1024.0 * (positionKB_ - speedFromKB_) * 1000.0 / double(now - speedFromMs_);
        speedFromMs_ = now;
        speedFromKB_ = positionKB_;
    }
    const double speed = download ? speed_ : 0.0;
    QString text = waiting;
    if (text.isEmpty() && download)
        text =
            totalKB_ > 0
                ? QStringLiteral("%1 % of %2, %3/s")
                      .arg(whole)
                      .arg(ShortSizeText(1024.0 * totalKB_))
                      .arg(ShortSizeText(speed))
                : QStringLiteral("%1, %2/s").arg(ShortSizeText(1024.0 * positionKB_), ShortSizeText(speed));
    else if (text.isEmpty())
        text = QStringLiteral("Converting: %1 %").arg(whole);
    board_.Set(id_, {text, percent, speed});
}

} // namespace Tarnwick
