// The subtitle reader on any bytes: it never fails, what it keeps is in time order with every
// cue shown for a while and holding text SubRip can carry, and reading back what it writes as
// SubRip gives the same cues.

#include "conversion/subtitletext.h"
#include "fuzzcheck.h"

#include <cstdint>

using namespace Tarnwick;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QList<SubtitleCue> cues;
    QString reason;
    if (!ReadSubtitleText(bytes, cues, &reason)) {
        Require(cues.isEmpty() && !reason.isEmpty());
        return 0;
    }
    Require(!cues.isEmpty());
    bool markup = false;
    for (qsizetype i = 0; i < cues.size(); ++i) {
        const SubtitleCue& cue = cues[i];
        Require(cue.startMs >= 0 && cue.endMs > cue.startMs && !cue.text.isEmpty());
        Require(i == 0 || cues[i - 1].startMs <= cue.startMs);
        Require(!cue.text.contains(QLatin1String("\n\n")) && !cue.text.contains(QLatin1Char('\r')));
        for (QChar c : cue.text)
            Require(c == QLatin1Char('\n') || c.category() != QChar::Other_Control);
        markup = markup || cue.text.contains(QLatin1Char('<')) || cue.text.contains(QLatin1Char('&'));
    }
    QList<SubtitleCue> again;
    Require(ReadSubtitleText(WriteSubRip(cues), again, nullptr));
    Require(again.size() == cues.size());
    for (qsizetype i = 0; i < cues.size(); ++i) {
        Require(again[i].startMs == cues[i].startMs && again[i].endMs == cues[i].endMs);
        // A decoded "&lt;" or "&amp;" is read as markup again; any other text comes back as it was.
        Require(markup || again[i].text == cues[i].text);
    }
    return 0;
}
