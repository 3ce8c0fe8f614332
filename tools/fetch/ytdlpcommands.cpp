#include "ytdlpcommands.h"

#include "app/appsettings.h"
#include "consolesink.h"
#include "retrieval/sources/ytdlp/update/ytdlpupdater.h"
#include "retrieval/sources/ytdlp/ytdlplocator.h"
#include "terminaltext.h"

#include <cstdio>

namespace Tarnwick {

int UpdateYtDlpFromConsole(const AppSettings& settings, ConsoleSink& sink) {
    std::printf("Updating yt-dlp from %s\n", qPrintable(TerminalSafe(settings.ytDlpUpdateUrl)));
    std::fflush(stdout);
    const YtDlpUpdateResult result = UpdateYtDlp(YtDlpUpdateDefaults(settings.ytDlpUpdateUrl), &sink);
    sink.FinishLine();
    std::FILE* out = result.outcome == YtDlpUpdateResult::Outcome::Installed ? stdout : stderr;
    // The reason may quote what a server sent.
    std::fprintf(out, "%s\n", qPrintable(TerminalSafe(result.message)));
    return result.outcome == YtDlpUpdateResult::Outcome::Installed ? 0 : 1;
}

void PrintYtDlpInUse(std::FILE* out, const std::optional<YtDlpProgram>& program) {
    if (!program)
        std::fprintf(out, "yt-dlp: not looked for yet; it is looked for when a page needs it "
                          "(tarnwick-fetch --find-yt-dlp looks now)\n");
    else if (program->IsFound())
        std::fprintf(out, "yt-dlp: %s (%s: %s)\n", qPrintable(TerminalSafe(program->version)),
                     qPrintable(YtDlpOriginText(program->origin)), qPrintable(TerminalSafe(program->path)));
    else
        std::fprintf(out, "yt-dlp: not found; installing it lets Tarnwick read many more sites "
                          "(tarnwick-fetch --update-yt-dlp installs a copy of Tarnwick's own)\n");
}

} // namespace Tarnwick
