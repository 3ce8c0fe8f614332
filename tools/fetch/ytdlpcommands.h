#pragma once

#include <cstdio>
#include <optional>

namespace Tarnwick {

class ConsoleSink;
struct AppSettings;
struct YtDlpProgram;

// tarnwick-fetch --update-yt-dlp: updates Tarnwick's own yt-dlp from the settings'
// YtDlpUpdateUrl, showing progress on the sink; its stop request (Ctrl+C) ends the update.
// Returns the exit status: 0 when installed, 1 otherwise.
int UpdateYtDlpFromConsole(const AppSettings& settings, ConsoleSink& sink);

// The line that names the yt-dlp in use and where it comes from; without a program, that it has
// not been looked for yet and how to look.
void PrintYtDlpInUse(std::FILE* out, const std::optional<YtDlpProgram>& program);

} // namespace Tarnwick
