#pragma once

#include "convertoptions.h"

struct AVOutputFormat;

namespace VarnexEngine {

class OutputFile;

// Whether the output's container keeps a cover picture: MP3 (as ID3v2's attached picture), the
// MP4 family (MP4, MOV, iPod, as its cover art) and Matroska (as the attachment "cover.jpg" or
// "cover.png"). 3GP is not among them: its muxer drops the picture.
bool KeepsCover(const AVOutputFormat* format);

// Adds the picture -cover names to the output as its attached picture, the bytes as they are,
// where the container keeps one; elsewhere there is no place for it and nothing is added.
// Called before the output's header is written. Throws EngineError when the file cannot be
// read or is neither a JPEG nor a PNG picture.
void AddCoverPicture(const ConvertOptions& options, OutputFile& output);

} // namespace VarnexEngine
