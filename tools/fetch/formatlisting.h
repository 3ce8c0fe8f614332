#pragma once

#include <QString>
#include <atomic>
#include <cstdio>

namespace Tarnwick {

struct AppSettings;

// --list-formats: reads the address as a job would (its page, playlist or yt-dlp's info) and
// prints one line per format it offers, downloading nothing; stop (set from Ctrl+C) ends it.
// Returns the exit code.
int ListFormats(const AppSettings& settings, const QString& url, std::FILE* out,
                const std::atomic<bool>& stop);

} // namespace Tarnwick
