#pragma once

#include <QString>

namespace Tarnwick {

// Where a chapter of a video begins and what it is called; it ends where the next begins.
struct ChapterMark {
    qint64 startMs = 0;
    QString title;
};

} // namespace Tarnwick
