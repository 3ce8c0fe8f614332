#pragma once

#include "retrieval/sources/offeredformat.h"
#include "retrieval/transfer/transfernetwork.h"

#include <QList>
#include <QString>
#include <atomic>

namespace Tarnwick {

// What an address offers to choose from, read as a job would read it (its page, its playlist
// or yt-dlp's info), with nothing downloaded.
struct FormatSurvey {
    bool read = false;
    QString reason; // why it could not be read, when !read
    bool isPlaylist = false;
    int entryCount = 0; // a playlist's entries
    QString title;
    QList<OfferedFormat> formats; // one "only" entry when the address is one stream
};

// Blocks while it reads; stop, when set, ends it early as a failure. ytDlpPath is the setting
// (empty: the usual search).
FormatSurvey SurveyFormats(const QString& url, const QString& videoHost, const QString& ytDlpPath,
                           const TransferNetwork& network, const std::atomic<bool>& stop);

} // namespace Tarnwick
