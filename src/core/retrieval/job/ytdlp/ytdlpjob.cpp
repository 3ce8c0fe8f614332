#include "ytdlpjob.h"

#include "retrieval/job/jobcontext.h"
#include "retrieval/job/jobsteps.h"
#include "retrieval/job/jobtempfile.h"
#include "retrieval/job/labelledsink.h"
#include "retrieval/job/processjob.h"
#include "retrieval/job/segmentdownload.h"
#include "retrieval/sources/mediaresolver.h"
#include "retrieval/sources/watchpageparser.h"
#include "retrieval/sources/ytdlp/ytdlpformatchoice.h"
#include "retrieval/transfer/httptransfer.h"
#include "ytdlpmerge.h"
#include "ytdlpowndownload.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace Tarnwick {

namespace {

// yt-dlp's Cookie header is left out: the job's cookies go with its requests only where each
// cookie's domain and path allow, which one fixed header cannot follow through redirects.
QList<QByteArray> HeaderLines(const YtDlpFormat& format) {
    QList<QByteArray> lines;
    for (const auto& [name, value] : format.httpHeaders)
        if (name.compare("Cookie", Qt::CaseInsensitive) != 0)
            lines.append(name + ": " + value);
    return lines;
}

} // namespace

QString YtDlpFormatExtension(const YtDlpFormat& format) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9]{1,8}$"));
    return plain.match(format.extension).hasMatch() ? QLatin1Char('.') + format.extension.toLower()
                                                    : QStringLiteral(".bin");
}

QString YtDlpFileTitle(const QString& title) {
    // Titles come from any site: control and direction characters would make names that
    // mislead in a file list or a terminal.
    QString visible = title;
    for (QChar& c : visible) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = QLatin1Char(' ');
    }
    const QString cleaned = WithoutSitePrefix(visible.simplified());
    return cleaned.isEmpty() ? QStringLiteral("untitled") : cleaned;
}

YtDlpJob::YtDlpJob(JobContext& context, int jobIndex, const PictureWish& wish, bool convert,
                   HttpTransfer& transfer, LabelledSink& sink)
    : context_(context)
    , jobIndex_(jobIndex)
    , wish_(wish)
    , convert_(convert)
    , transfer_(transfer)
    , sink_(sink) {}

int YtDlpJob::Fail(const QString& reason) {
    return FailJob(context_, jobIndex_, reason);
}

int YtDlpJob::Run(const YtDlpExtraction& extraction) {
    return extraction.info.isPlaylist ? ListPlaylist(extraction.info)
                                      : DeliverVideo(extraction.info, extraction.json);
}

int YtDlpJob::RunEntry(const QByteArray& infoJson) {
    YtDlpInfo info;
    QString reason;
    if (!ParseYtDlpInfo(infoJson, info, reason))
        return Fail(reason);
    // An entry that is itself a list would only list itself again.
    if (info.isPlaylist)
        return Fail(QStringLiteral("The playlist entry is itself a playlist"));
    return DeliverVideo(info, infoJson);
}

int YtDlpJob::ListPlaylist(const YtDlpInfo& info) {
    const DownloadJob& job = context_.Job(jobIndex_);
    QList<DownloadJob> rows;
    for (const YtDlpEntry& entry : info.entries) {
        if (rows.size() == YtDlpPlaylistLimit)
            break;
        // An entry resolved with the list may have no address of its own: it keeps the list's.
        DownloadJob row = ListEntry(job, entry.url.isEmpty() ? job.url : entry.url);
        row.extractedInfo = entry.info;
        if (entry.url.isEmpty() && entry.info.isEmpty())
            continue; // neither an address nor a video: nothing to download
        rows.append(row);
    }
    if (rows.isEmpty())
        return Fail(QStringLiteral("yt-dlp found a playlist without entries"));
    if (!context_.InsertJobs(jobIndex_, rows))
        return Fail(
            QStringLiteral("The playlist's %1 entries cannot be added to the list here").arg(rows.size()));
    // yt-dlp is asked for one entry beyond the limit, so that a longer list shows.
    const bool cut = info.entries.size() > YtDlpPlaylistLimit;
    QString summary = QStringLiteral("Playlist: %1 entries added to the list").arg(rows.size());
    if (cut && info.entryTotal > info.entries.size())
        summary = QStringLiteral("Playlist: the first %1 of %2 entries added to the list")
                      .arg(rows.size())
                      .arg(info.entryTotal);
    else if (cut)
        summary =
            QStringLiteral("Playlist: the first %1 entries added to the list; it has more").arg(rows.size());
    return FinishListRow(context_, jobIndex_, summary);
}

int YtDlpJob::DeliverVideo(const YtDlpInfo& info, const QByteArray& json) {
    const YtDlpChoice choice = ChooseYtDlpFormats(info.formats, wish_);
    if (choice.IsEmpty())
        return Fail(QStringLiteral("yt-dlp lists no format of this video that can be downloaded"));
    sink_.SetLabel(choice.label);
    context_.Job(jobIndex_).pictureChoice = choice.label;
    const YtDlpFormat& first = info.formats[choice.video >= 0 ? choice.video : choice.audio];
    const YtDlpFormat* second =
        choice.video >= 0 && choice.audio >= 0 ? &info.formats[choice.audio] : nullptr;
    DownloadJob& job = context_.Job(jobIndex_);
    job.title = YtDlpFileTitle(info.title);
    job.shownTitle = info.title;
    job.artist = info.uploader;
    job.year = info.uploadYear;
    job.chapters = info.chapters;
    job.description = info.description;
    job.coverUrl = info.thumbnail;
    job.streamUrl = first.url;

    // The name is settled before the download where it can be, so that the overwrite question
    // comes before the waiting; a merge's container is known for certain only from the files.
    QString extension = YtDlpFormatExtension(first);
    if (convert_)
        extension = ConvertedExtension(context_);
    else if (second != nullptr)
        extension = PredictedMergeExtension(first, *second);
    else if (IsHlsFormat(first))
        // Tarnwick's HLS download joins MPEG-TS segments as they are; fragmented MP4 is rare.
        extension = QStringLiteral(".ts");
    QString finalPath = FinalPathOrFail(context_, jobIndex_, extension);
    if (finalPath.isEmpty())
        return JobFailed;
    if (!MayDeliverTo(context_, finalPath))
        return FinishJob(context_, jobIndex_, JobState::Skipped, JobSkipped);

    context_.SetPhase(RunPhase::PhaseDownload);
    context_.SetJobState(jobIndex_, JobState::Downloading);
    JobTempFile download(context_.OutputFolder());
    if (!download.IsValid())
        return Fail(QStringLiteral("Cannot create a temporary file"));
    if (!DownloadFormat(first, json, download))
        return JobFailed;
    if (second == nullptr)
        return ConvertAndDeliver(context_, jobIndex_, CurrentDelivery(context_, convert_), download,
                                 finalPath, info.subtitles);

    JobTempFile sound(context_.OutputFolder());
    if (!sound.IsValid())
        return Fail(QStringLiteral("Cannot create a temporary file"));
    if (!DownloadFormat(*second, json, sound))
        return JobFailed;
    JobTempFile merged(context_.OutputFolder());
    if (!merged.IsValid())
        return Fail(QStringLiteral("Cannot create a temporary file"));
    merged.Close();
    QString container;
    const MediaTags tags = JobTags(context_.Job(jobIndex_));
    if (!MergeDownloads(context_, download.Path(), sound.Path(), merged.Path(), container,
                        context_.EmbedsMetadata() ? &tags : nullptr))
        return FinishJob(context_, jobIndex_, JobState::Failed, JobFailed);
    download.Close();
    sound.Close();
    if (!convert_ && container != extension) {
        // The files' codecs decided otherwise than their names in yt-dlp's list: the name
        // follows the container, and a file of that name needs its own answer.
        finalPath = FinalPathOrFail(context_, jobIndex_, container);
        if (!MayDeliverTo(context_, finalPath))
            return FinishJob(context_, jobIndex_, JobState::Skipped, JobSkipped);
    }
    JobDelivery delivery = CurrentDelivery(context_, convert_);
    delivery.tagged = context_.EmbedsMetadata();
    return ConvertAndDeliver(context_, jobIndex_, delivery, merged, finalPath, info.subtitles);
}

bool YtDlpJob::DownloadFormat(const YtDlpFormat& format, const QByteArray& json, JobTempFile& file) {
    ProgressSink* sink = context_.DownloadSink() != nullptr ? &sink_ : nullptr;
    transfer_.SetRequestHeaders(HeaderLines(format));
    bool copied = false;
    if (IsHttpFormat(format)) {
        transfer_.SetReadBufferSize(4096);
        copied = transfer_.CopyUrlToFile(format.url, file.File());
    } else if (IsHlsFormat(format)) {
        MediaSource media;
        copied = ResolveHlsAddress(transfer_, sink, format.url, wish_, context_.Job(jobIndex_), media) &&
                 DownloadSegments(media.segments, file.File(), sink, transfer_);
    } else {
        // yt-dlp writes the file under its name itself; ours is closed first.
        file.Close();
        const int silence = 2 * transfer_.StallSeconds();
        if (!DownloadWithYtDlp(context_.YtDlp(), json, format.id, file.Path(), sink, silence,
                               transfer_.Network())) {
            context_.SetJobState(jobIndex_, JobState::Failed);
            return false;
        }
        return true;
    }
    QString reason;
    const bool closed = file.Close(&reason);
    if (!copied) {
        context_.SetJobState(jobIndex_, JobState::Failed);
        return false;
    }
    if (!closed) {
        Fail(reason);
        return false;
    }
    return true;
}

} // namespace Tarnwick
