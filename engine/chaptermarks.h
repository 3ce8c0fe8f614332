#pragma once

#include "convertoptions.h"

#include <cstdint>

namespace VarnexEngine {

class OutputFile;

// Puts the option line's chapters into the output on its own clock: shifted by the start time
// (-ss), a chapter that begins before it starting the output, those that begin at or after the
// output's end (outputEndUs, 0 when unknown) left out, the last ending at that end. Only the
// containers that keep chapters get them (MP4, MOV, iPod, Matroska, WebM, MP3); the others,
// which have no place for them, are left without. Called before the output's header is written.
void AddChapterMarks(const ConvertOptions& options, int64_t outputEndUs, OutputFile& output);

} // namespace VarnexEngine
