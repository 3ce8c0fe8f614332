#pragma once

#include <cstdio>

namespace Tarnwick {

class ConsoleSink;
struct AppSettings;
struct YtDlpProgram;

// tarnwick-fetch --update-yt-dlp: updates Tarnwick's own yt-dlp from the settings'
// YtDlpUpdateUrl, showing progress on the sink; its stop request (Ctrl+C) ends the update.
// Returns the exit status: 0 when installed, 1 otherwise.
int UpdateYtDlpFromConsole(const AppSettings& settings, ConsoleSink& sink);

// The line of --help that names the yt-dlp in use and where it comes from.
void PrintYtDlpInUse(std::FILE* out, const YtDlpProgram& program);

} // namespace Tarnwick
