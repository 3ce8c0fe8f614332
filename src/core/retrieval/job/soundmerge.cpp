#include "soundmerge.h"

#include "conversion/streammerge.h"
#include "jobtempfile.h"
#include "queue/converterslots.h"
#include "retrieval/sources/mediaresolver.h"
#include "retrieval/transfer/httptransfer.h"
#include "segmentdownload.h"

namespace Tarnwick {

bool FetchAndMergeSound(ConversionEngine& engine, ConverterSlots* converters, const QString& folder,
                        HttpTransfer& transfer, ProgressSink* sink, const MediaSource& media,
                        const QString& picturePath, JobTempFile& merged, const MediaTags* tags) {
    JobTempFile sound(folder);
    if (!sound.IsValid() || !merged.IsValid())
        return ReportResultLine(sink, QStringLiteral("Cannot create a temporary file"));
    if (!DownloadSegments(media.audioSegments, sound.File(), sink, transfer, QStringLiteral("Sound segment")))
        return false;
    QString reason;
    if (!sound.Close(&reason))
        return ReportResultLine(sink, reason);
    // The engine writes the merged file under a name of its own and renames it over this one;
    // the empty file only reserves the name.
    merged.Close();
    const ConverterSlots::Turn turn(converters, sink);
    if (!turn.Taken())
        return false;
    return MergeStreams(engine, picturePath, sound.Path(), merged.Path(), media.extension, sink, tags) == 0;
}

} // namespace Tarnwick
