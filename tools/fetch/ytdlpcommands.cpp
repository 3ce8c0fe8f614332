#include "ytdlpcommands.h"

#include "app/appsettings.h"
#include "consolesink.h"
#include "retrieval/sources/ytdlp/update/ytdlpupdater.h"
#include "retrieval/sources/ytdlp/ytdlpinuse.h"
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

void PrintYtDlpInUse(const AppSettings& settings) {
    std::printf("yt-dlp in use: %s\n",
                qPrintable(TerminalSafe(YtDlpInUseText(FindYtDlpInUse(settings.ytDlpPath)))));
}

} // namespace Tarnwick
