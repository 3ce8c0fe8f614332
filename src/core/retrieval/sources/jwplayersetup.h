#pragma once

#include "htmlvideoscan.h"

#include <QList>
#include <QStringView>

namespace Tarnwick {

// The video a page's JW Player set-up names: jwplayer(...).setup({...}), or setup(config) with
// config an object literal assigned to that variable. Of the set-up it reads `file`,
// `sources` (file, label, type, height, width) and `playlist`, whose first item is the page's
// video. Heights come from `height`, else from a label or the file's name ("720p HD"); a
// source without one has height 0. Types are given as media types ("hls" becomes
// application/vnd.apple.mpegurl). Addresses are as the page wrote them. The first set-up that
// names a video counts; one that cannot be read is skipped, and the work per page is bounded.
QList<HtmlVideoSource> ReadJwPlayerSetup(QStringView page);

} // namespace Tarnwick
