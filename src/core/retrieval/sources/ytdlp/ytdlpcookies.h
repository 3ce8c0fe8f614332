#pragma once

#include <QString>

namespace Tarnwick {

class ProgressSink;
struct TransferNetwork;
struct YtDlpProgram;

// Reads the cookies of the browser network.cookies names (CookiesFromBrowser) into the job's
// cookies, through yt-dlp, which knows every browser's store; they then serve the job's own
// requests as well as yt-dlp's. yt-dlp is given no address it would fetch: it reads the store,
// fails on an address of no scheme it knows, and writes the cookies back on its way out. The
// browser is then forgotten, so that later runs of yt-dlp in the job take the cookies from the
// job instead of reading the store again. False, with the reason, when the store cannot be read.
bool TakeBrowserCookies(const YtDlpProgram& program, const TransferNetwork& network, ProgressSink* sink,
                        QString* reason);

} // namespace Tarnwick
