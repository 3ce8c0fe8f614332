#pragma once

#include "queue/downloadjob.h"
#include "queue/jobstate.h"
#include "retrieval/sources/subtitlechoice.h"
#include "retrieval/sources/ytdlp/ytdlplocator.h"
#include "retrieval/transfer/jobcookies.h"

#include <QList>
#include <QString>

namespace Tarnwick {

class ConversionEngine;
class ConverterSlots;
class HttpTransfer;
class Preset;
class ProgressSink;

// What the per-job procedure needs from whoever runs it: the main window during a run, a
// console runner, or a test. Every call arrives on the worker thread that runs the job; the
// implementation is responsible for reaching its own thread where it must.
class JobContext {
public:
    // The answers of the "Confirm File Overwrite" dialog, by button id.
    static constexpr int AnswerYes = 1167;
    static constexpr int AnswerYesToAll = 1168;
    static constexpr int AnswerNo = 1169;
    static constexpr int AnswerNoToAll = 1170;
    static constexpr int AnswerCancel = 2;

    virtual ~JobContext() = default;

    virtual DownloadJob& Job(int index) = 0;
    // Stores the state in the job and shows it.
    virtual void SetJobState(int index, JobState state) = 0;

    // The output folder of the run, without a trailing separator.
    virtual QString OutputFolder() const = 0;
    // The web host of the video service ("VideoHost"), possibly with a port.
    virtual QString VideoHost() const = 0;
    // The preset chosen for converting; null when none is chosen.
    virtual const Preset* SelectedPreset() const = 0;
    virtual ConversionEngine* Engine() = 0;

    virtual OverwritePolicy Policy() const = 0;
    virtual void SetPolicy(OverwritePolicy policy) = 0;
    // Asks whether to overwrite the file; returns one of the Answer ids (another value: go on).
    virtual int AskOverwrite(const QString& fileName) = 0;

    virtual ProgressSink* DownloadSink() = 0;
    virtual ProgressSink* ConversionSink() = 0;
    virtual void SetPhase(RunPhase phase) = 0;
    // Progress bar position 0 and an empty percent text.
    virtual void ResetProgress() = 0;
    // Adjusts the job's transfer before it is used (how long it waits for a stalled server,
    // how it retries). The program keeps the defaults.
    virtual void ConfigureTransfer(HttpTransfer&) {}
    // Where every job's cookies come from (CookiesFile, CookiesFromBrowser); none by default.
    virtual CookieSources Cookies() const { return {}; }
    // What the run asks of every picture besides its quality: the largest height (0: no limit)
    // and the preferred codec family (empty: any).
    virtual int LargestPicture() const { return 0; }
    virtual QString PreferredCodec() const { return QString(); }
    // Whether a converted file is told its title, artist, year and source (EmbedMetadata).
    virtual bool EmbedsMetadata() const { return false; }
    // Which subtitles the run fetches and whether they go into the file.
    virtual const SubtitleWish& Subtitles() const {
        static const SubtitleWish none;
        return none;
    }

    // Whether unfinished downloads are remembered for a later run (a journal keeps them): a
    // stopped job then shows Stopped and keeps its working file, and so does a job cut off by
    // the network. Without that memory a kept file would only be litter.
    virtual bool KeepsUnfinished() const { return false; }
    // Job(index)'s kept download changed (a working file taken or let go, the body's validators
    // learned) without a change of state: worth remembering at once, as a kill may follow.
    virtual void PartialChanged(int) {}

    // What bounds the engine's use across the jobs of a run that runs several at once: a job
    // takes a slot for each conversion or merge. Null: the job is alone.
    virtual ConverterSlots* Converters() { return nullptr; }

    // Claims path as the file this job delivers; false when another job of the run in progress
    // holds it (its file is then as good as there). A job alone always gets it.
    virtual bool ClaimOutput(const QString& path) {
        Q_UNUSED(path);
        return true;
    }

    // The yt-dlp program of the run, looked for once per run; none by default.
    virtual const YtDlpProgram& YtDlp() { return noYtDlp_; }
    // Puts the jobs into the list right after the job at index, in order, so that the run
    // reaches them next. False when this runner keeps no list to put them in.
    virtual bool InsertJobs(int index, const QList<DownloadJob>& jobs) {
        Q_UNUSED(index);
        Q_UNUSED(jobs);
        return false;
    }

private:
    YtDlpProgram noYtDlp_;
};

} // namespace Tarnwick
