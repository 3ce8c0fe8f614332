#include "formatlisting.h"

#include "app/appsettings.h"
#include "consolesink.h"
#include "queue/downloadjob.h"
#include "retrieval/job/ytdlp/ytdlppagereader.h"
#include "retrieval/sources/mediaresolver.h"
#include "retrieval/sources/ytdlp/ytdlpformatchoice.h"
#include "retrieval/sources/ytdlp/ytdlplocator.h"
#include "retrieval/transfer/httptransfer.h"
#include "terminaltext.h"

#include <QFileInfo>
#include <QUrl>

namespace Tarnwick {

int ListFormats(const AppSettings& settings, const QString& url, std::FILE* out,
                const std::atomic<bool>& stop) {
    // Reasons go where a job's would, as "error:" lines.
    ConsoleSink sink(stderr, &stop);
    HttpTransfer transfer;
    transfer.OpenSession(&sink);
    transfer.SetNetwork(TransferNetwork{settings.proxy, nullptr});
    YtDlpProgram program;
    bool looked = false;
    YtDlpPageReader reader(
        [&]() -> const YtDlpProgram& {
            if (!looked)
                program = FindYtDlp(settings.ytDlpPath);
            looked = true;
            return program;
        },
        &sink, transfer.StallSeconds(), transfer.Network());
    DownloadJob job;
    job.url = url;
    MediaSource media;
    if (!ResolveMedia(transfer, &sink, job, PictureWish{}, settings.videoHost, media, &reader))
        return 1;

    QList<OfferedFormat> offers = media.offers;
    if (media.fromPageReader) {
        const YtDlpInfo& info = reader.Extraction().info;
        if (info.isPlaylist) {
            std::fprintf(out, "A playlist of %d entries: list the formats of one of them.\n",
                         int(info.entryTotal > 0 ? info.entryTotal : info.entries.size()));
            return 0;
        }
        offers = YtDlpOffers(info.formats);
    }
    if (offers.isEmpty()) {
        // One stream and nothing to choose: said as one line, so that a script still reads a list.
        OfferedFormat only;
        only.id = QStringLiteral("only");
        only.container = media.extension.mid(1);
        offers.append(only);
    }
    std::fprintf(out, "%s\n", qPrintable(FormatListingHeading()));
    for (const OfferedFormat& offer : offers)
        std::fprintf(out, "%s\n", qPrintable(TerminalSafe(FormatListingLine(offer))));
    return 0;
}

} // namespace Tarnwick
