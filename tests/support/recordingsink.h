#pragma once

#include "queue/progresssink.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStringList>
#include <atomic>
#include <functional>

// A sink that writes down every call in order and answers IsCancelled as the test sets it up.
class RecordingSink : public Tarnwick::ProgressSink {
public:
    enum class CancelWhen { Never, Always, AtBegin, AfterBeginDelay };

    QStringList calls;
    CancelWhen cancelWhen = CancelWhen::Never;
    int cancelDelayMs = 0;
    std::atomic<bool> cancelled{false};
    // Started at Begin: with AfterBeginDelay, the stop is requested cancelDelayMs later.
    QElapsedTimer sinceBegin;
    // Called on every progress report, to look at the world while a transfer is under way.
    std::function<void()> onProgress;

    int Begin() override {
        calls << QStringLiteral("Begin");
        sinceBegin.start();
        if (cancelWhen == CancelWhen::AtBegin)
            cancelled = true;
        return 0;
    }
    int End() override {
        calls << QStringLiteral("End");
        return 0;
    }
    int Progress(int kind, int value) override {
        calls << QStringLiteral("Progress %1 %2").arg(kind).arg(value);
        if (onProgress)
            onProgress();
        return 0;
    }
    int Status(int kind, const QString& text) override {
        calls << QStringLiteral("Status %1 %2").arg(kind).arg(text);
        return 0;
    }
    int IsCancelled() override {
        calls << QStringLiteral("IsCancelled");
        if (cancelWhen == CancelWhen::Always)
            cancelled = true;
        if (cancelWhen == CancelWhen::AfterBeginDelay && sinceBegin.isValid() &&
            sinceBegin.elapsed() >= cancelDelayMs)
            cancelled = true;
        return cancelled ? 1 : 0;
    }

    // The calls without connection activity: Begin, End, Progress, IsCancelled, the result line
    // and the transfer's own progress lines.
    QStringList Skeleton() const {
        static const QRegularExpression progressLine(QStringLiteral("^Status 4 \\d+ KB / \\d+ KB"));
        QStringList result;
        for (const QString& call : calls)
            if (!call.startsWith(QLatin1String("Status 4")) || progressLine.match(call).hasMatch())
                result << call;
        return result;
    }
    QStringList ProgressLines() const {
        return calls.filter(QRegularExpression(QStringLiteral("^Status 4 \\d+ KB /")));
    }
};
