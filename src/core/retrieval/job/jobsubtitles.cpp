#include "jobsubtitles.h"

#include "conversion/subtitletext.h"
#include "fileoperations.h"
#include "jobcontext.h"
#include "jobsteps.h"
#include "jobtempfile.h"
#include "retrieval/transfer/httptransfer.h"
#include "subtitlefetch.h"

#include <QFileInfo>

#include <algorithm>

namespace Tarnwick {

namespace {

// The language as the name of a file beside the video shows it: the source's tag where it is a
// plain one ("en", "pt-BR"), else the primary language.
QString FileLanguage(const SubtitleOffer& offer) {
    const QString tag = offer.language.trimmed();
    return PrimaryLanguage(tag).isEmpty() ? QStringLiteral("und") : tag.left(16);
}

} // namespace

JobSubtitles::JobSubtitles() = default;
JobSubtitles::~JobSubtitles() = default;
JobSubtitles::JobSubtitles(JobSubtitles&&) noexcept = default;
JobSubtitles& JobSubtitles::operator=(JobSubtitles&&) noexcept = default;

JobSubtitles JobSubtitles::Fetch(JobContext& context, const QList<SubtitleOffer>& offers,
                                 const QString& folder) {
    JobSubtitles fetched;
    const SubtitleWish& wish = context.Subtitles();
    const QList<SubtitleOffer> chosen = ChooseSubtitles(offers, wish);
    for (const QString& language : wish.languages) {
        const bool offered = std::any_of(chosen.begin(), chosen.end(), [&](const SubtitleOffer& offer) {
            return PrimaryLanguage(offer.language) == language;
        });
        if (!offered)
            fetched.missing_.append(language + QStringLiteral(": not offered"));
    }
    if (chosen.isEmpty())
        return fetched;
    HttpTransfer transfer;
    transfer.OpenSession(nullptr);
    context.ConfigureTransfer(transfer);
    for (const SubtitleOffer& offer : chosen) {
        const QString language = FileLanguage(offer);
        QList<SubtitleCue> cues;
        QString reason;
        if (!FetchSubtitleCues(transfer, offer.url, cues, reason)) {
            fetched.missing_.append(language + QStringLiteral(": ") + reason);
            continue;
        }
        auto file = std::make_unique<JobTempFile>(folder);
        const QByteArray text = WriteSubRip(cues);
        if (!file->IsValid() || file->File().write(text) != text.size() || !file->Close()) {
            fetched.missing_.append(language + QStringLiteral(": cannot be written"));
            continue;
        }
        fetched.tracks_.push_back({offer, std::move(file)});
    }
    return fetched;
}

QList<SubtitleStream> JobSubtitles::Streams() const {
    QList<SubtitleStream> streams;
    for (const Track& track : tracks_)
        streams.append(
            {track.file->Path(), ContainerLanguageCode(track.offer.language), SubtitleTitle(track.offer)});
    return streams;
}

void JobSubtitles::NoteEmbedded() {
    for (const Track& track : tracks_)
        placed_.append(FileLanguage(track.offer) + QStringLiteral(" (embedded)"));
    tracks_.clear();
}

void JobSubtitles::PlaceBeside(JobContext& context, const QString& deliveredPath) {
    const QFileInfo delivered(deliveredPath);
    const QString base = delivered.path() + QLatin1Char('/') + delivered.completeBaseName();
    for (Track& track : tracks_) {
        const QString language = FileLanguage(track.offer);
        const QString path = base + QLatin1Char('.') + language + QStringLiteral(".srt");
        if (QFileInfo::exists(path) && !MayOverwrite(context, path)) {
            missing_.append(language + QStringLiteral(": a file of its name is there already"));
            continue;
        }
        QString reason;
        if (!MoveFileTo(track.file->Path(), path, &reason)) {
            missing_.append(language + QStringLiteral(": ") + reason);
            continue;
        }
        track.file->Release();
        placed_.append(language + QStringLiteral(" (beside the file)"));
    }
    tracks_.clear();
}

QString JobSubtitles::Note() const {
    QStringList lines;
    if (!placed_.isEmpty())
        lines.append(QStringLiteral("Subtitles: ") + placed_.join(QStringLiteral(", ")));
    if (!missing_.isEmpty())
        lines.append(QStringLiteral("Subtitles left out: ") + missing_.join(QStringLiteral("; ")));
    return lines.join(QLatin1Char('\n'));
}

} // namespace Tarnwick
