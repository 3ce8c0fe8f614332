#pragma once

#include "conversion/subtitletext.h"

#include <QList>
#include <QString>

namespace Tarnwick {

class HttpTransfer;

// Fetches one subtitle through transfer and reads its cues: a WebVTT or SubRip file, or an HLS
// media playlist of WebVTT segments, whose segments are fetched one after another and joined,
// a cue that two segments repeat kept once. Everything fetched for one subtitle counts against
// LargestSubtitleFile. False, with a reason for the row's note ("the file is empty"), when no
// cue could be had.
bool FetchSubtitleCues(HttpTransfer& transfer, const QString& url, QList<SubtitleCue>& cues, QString& reason);

} // namespace Tarnwick
