#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace Tarnwick {

// One cue of a subtitle file: when it shows, in milliseconds, and its text, lines joined by
// "\n", with only the styles SubRip players know (<i>, <b>, <u>) kept.
struct SubtitleCue {
    qint64 startMs = 0;
    qint64 endMs = 0;
    QString text;
};

// Subtitles come from any site: a file beyond this is no subtitle file.
inline constexpr qint64 LargestSubtitleFile = 16 * 1024 * 1024;

// Reads a WebVTT or SubRip file into its cues, in time order; the WebVTT header, notes, styles
// and regions are skipped, cue settings dropped, markup reduced to the kept styles and
// character references decoded, and control characters removed. A cue whose end is not after
// its start is left out. False, with the reason, for a file that is empty, too large, neither
// WebVTT nor SubRip, or that holds no cue.
bool ReadSubtitleText(const QByteArray& data, QList<SubtitleCue>& cues, QString* reason);

// The cues as a SubRip file, UTF-8, numbered from 1.
QByteArray WriteSubRip(const QList<SubtitleCue>& cues);

} // namespace Tarnwick
