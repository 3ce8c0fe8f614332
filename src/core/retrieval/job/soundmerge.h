#pragma once

#include <QString>

namespace Tarnwick {

class ConversionEngine;
class ConverterSlots;
class HttpTransfer;
class JobTempFile;
class ProgressSink;
struct MediaSource;
struct MediaTags;

// For a picture whose sound comes as a rendition of its own: fetches the sound's segments into
// a working file in folder and merges them with the picture's, without re-encoding, into merged
// (a reserved working file) in the container media.extension names, with a turn of converters
// (none: at once) for the merge alone, so that other jobs convert while the sound arrives. The
// sound's working file is gone when this returns. False on failure or a stop, with the reason
// sent to sink as the result line. tags, when given, go into the merged file.
bool FetchAndMergeSound(ConversionEngine& engine, ConverterSlots* converters, const QString& folder,
                        HttpTransfer& transfer, ProgressSink* sink, const MediaSource& media,
                        const QString& picturePath, JobTempFile& merged, const MediaTags* tags = nullptr);

} // namespace Tarnwick
