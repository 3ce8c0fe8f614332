#pragma once

#include "convertoptions.h"

namespace VarnexEngine {

class OutputFile;

// Adds a text subtitle stream to the output for each subtitle the option line names, in the
// text codec its container holds (MP4, MOV and 3GP: mov_text; Matroska: SubRip; WebM: WebVTT),
// tagged with its language and title. Every cue is read and encoded here, then queued on the
// output, which writes each in time order among the picture and sound. A cue before the start
// time (-ss) is dropped, as is one that begins after the duration (-t).
//
// Called before the output's header is written. Throws EngineError when the container holds
// no text subtitles or a file cannot be read as subtitles.
void AddSubtitleTracks(const ConvertOptions& options, OutputFile& output);

} // namespace VarnexEngine
