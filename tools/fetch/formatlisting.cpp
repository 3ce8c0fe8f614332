#include "formatlisting.h"

#include "app/appsettings.h"
#include "retrieval/job/formatsurvey.h"
#include "terminaltext.h"

namespace Tarnwick {

int ListFormats(const AppSettings& settings, const QString& url, std::FILE* out,
                const std::atomic<bool>& stop) {
    TransferNetwork network;
    network.proxy = settings.proxy;
    const FormatSurvey survey = SurveyFormats(url, settings.videoHost, settings.ytDlpPath, network, stop);
    if (!survey.read) {
        std::fprintf(stderr, "  error: %s\n", qPrintable(TerminalSafe(survey.reason)));
        return 1;
    }
    if (survey.isPlaylist) {
        std::fprintf(out, "A playlist of %d entries: list the formats of one of them.\n", survey.entryCount);
        return 0;
    }
    std::fprintf(out, "%s\n", qPrintable(FormatListingHeading()));
    for (const OfferedFormat& offer : survey.formats)
        std::fprintf(out, "%s\n", qPrintable(TerminalSafe(FormatListingLine(offer))));
    return 0;
}

} // namespace Tarnwick
