#pragma once

#include "progresssink.h"
#include "runprogress.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QString>
#include <optional>
#include <utility>

namespace Tarnwick {

// What each job in progress wants shown on its own row when several run at once, coalesced
// like the run's display board: the jobs leave their newest text and speed here, by job id,
// and the window takes them at its own pace.
class RowProgressBoard {
public:
    struct Row {
        QString text;       // "42 % of 8.0 MB, 1.2 MB/s" or what the job waits for
        double percent = 0; // of the job's whole work (download and conversion)
        double bytesPerSecond = 0;
    };

    void Set(quint64 id, Row row);
    // Forgets a job that ended: its row then shows its state again.
    void Remove(quint64 id);
    // What changed since the last call (the ids removed map to nothing), and forgets it.
    QHash<quint64, std::optional<Row>> TakeChanges();

private:
    QMutex mutex_;
    QHash<quint64, std::optional<Row>> pending_;
};

// The sink of one job's transfer or conversion when several run at once: turns its reports
// into the text, percent and speed of its row. A run without conversion fills the percent
// during the download; with conversion, half and half, as the run's bar does.
class RowProgressSink : public ProgressSink {
public:
    RowProgressSink(quint64 id, RunPhase phase, bool converts, const RunState& run, RowProgressBoard& board);

    int Begin() override;
    int End() override { return 0; }
    int Progress(int kind, int value) override;
    int Status(int kind, const QString& text) override;
    int IsCancelled() override { return run_.StopRequested() ? 1 : 0; }

    // The last error text reported since the previous call, and forgets it.
    QString TakeResult() { return std::exchange(lastResult_, QString()); }

private:
    void Publish(const QString& waiting = QString());

    quint64 id_;
    RunPhase phase_;
    bool converts_;
    const RunState& run_;
    RowProgressBoard& board_;
    int totalKB_ = 0;
    int positionKB_ = 0;
    int shownPercent_ = -1;
    qint64 shownAtMs_ = 0;
    qint64 speedFromMs_ = 0;
    int speedFromKB_ = 0;
    double speed_ = 0; // bytes per second
    QElapsedTimer clock_;
    QString lastResult_;
};

// The status line of a run with several jobs in progress: "[3-5 / 12] 3 downloading, 4.2 MB/s"
// (rows counted from 1; first and last are the lowest and highest row in progress).
QString SeveralJobsStatusText(int firstRow, int lastRow, int rowCount, int inProgress, double bytesPerSecond);

// "1.2 MB" style sizes and speeds of 1,000,000 bytes, as download managers show them.
QString ShortSizeText(double bytes);

} // namespace Tarnwick
