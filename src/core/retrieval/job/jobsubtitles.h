#pragma once

#include "conversion/conversionparams.h"
#include "retrieval/sources/subtitlechoice.h"

#include <QStringList>
#include <memory>
#include <vector>

namespace Tarnwick {

class JobContext;
class JobTempFile;

// The subtitles of one job, fetched and turned into SubRip as working files beside its file,
// which go with this object unless put in place. What could not be had is noted, never failed.
class JobSubtitles {
public:
    JobSubtitles();
    ~JobSubtitles();
    JobSubtitles(JobSubtitles&&) noexcept;
    JobSubtitles& operator=(JobSubtitles&&) noexcept;

    // Fetches the offers the run's wish takes, each through a transfer set up as the job's.
    static JobSubtitles Fetch(JobContext& context, const QList<SubtitleOffer>& offers, const QString& folder);

    bool IsEmpty() const { return tracks_.empty(); }
    // The tracks as the engine takes them.
    QList<SubtitleStream> Streams() const;
    // Puts each track beside the delivered file as "<name>.<language>.srt", under the run's
    // overwrite rules; notes the tracks that do not get there.
    void PlaceBeside(JobContext& context, const QString& deliveredPath);
    // What the job's row says of its subtitles: what went where, what was left out and why.
    QString Note() const;
    void NoteEmbedded();

private:
    struct Track {
        SubtitleOffer offer;
        std::unique_ptr<JobTempFile> file;
    };
    std::vector<Track> tracks_;
    QStringList placed_;  // "en (embedded)", "de (beside the file)"
    QStringList missing_; // "fr: the file is empty"
};

} // namespace Tarnwick
