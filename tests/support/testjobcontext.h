#pragma once

#include "recordingsink.h"
#include "retrieval/job/jobcontext.h"
#include "retrieval/transfer/httptransfer.h"

#include <QList>
#include <QStringList>

// Stands where the main window stands during a run: it keeps the jobs, writes down every state
// and phase, and answers the overwrite question from a list of prepared answers.
class TestJobContext : public Tarnwick::JobContext {
public:
    QList<Tarnwick::DownloadJob> jobs;
    QList<QList<Tarnwick::JobState>> states;
    QList<Tarnwick::RunPhase> phases;
    QString outputFolder;
    QString videoHost;
    bool embedMetadata = false;
    Tarnwick::SubtitleWish subtitles; // none unless the case asks
    Tarnwick::OverwritePolicy policy = Tarnwick::OverwritePolicy::Ask;
    QList<int> answers; // taken one per question
    QStringList questions;
    int progressResets = 0;
    const Tarnwick::Preset* preset = nullptr;     // what a converting job converts with
    Tarnwick::ConversionEngine* engine = nullptr; // null: conversions fail
    RecordingSink sink;
    // Retries wait this fraction of the stated time, so that a case does not sleep for seconds.
    double retryWaitScale = 0.001;
    int segmentConnections = Tarnwick::HttpTransfer::DefaultSegmentConnections;
    int retryCount = -1;             // the policy's own when negative
    Tarnwick::YtDlpProgram ytDlp;    // none unless the case sets one
    Tarnwick::CookieSources cookies; // none unless the case sets some

    int AddJob(const QString& url) {
        Tarnwick::DownloadJob job;
        job.url = url;
        jobs.append(job);
        states.append(QList<Tarnwick::JobState>());
        return int(jobs.size()) - 1;
    }

    Tarnwick::DownloadJob& Job(int index) override { return jobs[index]; }
    void SetJobState(int index, Tarnwick::JobState state) override {
        jobs[index].state = state;
        states[index].append(state);
    }
    QString OutputFolder() const override { return outputFolder; }
    QString VideoHost() const override { return videoHost; }
    bool EmbedsMetadata() const override { return embedMetadata; }
    const Tarnwick::SubtitleWish& Subtitles() const override { return subtitles; }
    const Tarnwick::Preset* SelectedPreset() const override { return preset; }
    Tarnwick::ConversionEngine* Engine() override { return engine; }
    Tarnwick::OverwritePolicy Policy() const override { return policy; }
    void SetPolicy(Tarnwick::OverwritePolicy value) override { policy = value; }
    int AskOverwrite(const QString& fileName) override {
        questions << fileName;
        return answers.isEmpty() ? AnswerYes : answers.takeFirst();
    }
    Tarnwick::ProgressSink* DownloadSink() override { return &sink; }
    Tarnwick::ProgressSink* ConversionSink() override { return &sink; }
    void SetPhase(Tarnwick::RunPhase phase) override { phases.append(phase); }
    void ResetProgress() override { ++progressResets; }
    const Tarnwick::YtDlpProgram& YtDlp() override { return ytDlp; }
    Tarnwick::CookieSources Cookies() const override { return cookies; }
    bool InsertJobs(int index, const QList<Tarnwick::DownloadJob>& added) override {
        for (int i = 0; i < added.size(); ++i) {
            jobs.insert(index + 1 + i, added[i]);
            states.insert(index + 1 + i, QList<Tarnwick::JobState>());
        }
        return true;
    }
    void ConfigureTransfer(Tarnwick::HttpTransfer& transfer) override {
        Tarnwick::RetryPolicy retries;
        retries.waitScale = retryWaitScale;
        if (retryCount >= 0)
            retries.retries = retryCount;
        transfer.SetRetries(retries);
        transfer.SetSegmentConnections(segmentConnections);
    }
};
