#pragma once

#include <QByteArray>
#include <QString>

namespace Tarnwick {

class ProgressSink;

// The official address of yt-dlp's newest release files; the settings value YtDlpUpdateUrl.
inline constexpr char DefaultYtDlpUpdateUrl[] = "https://github.com/yt-dlp/yt-dlp/releases/latest/download/";

struct YtDlpUpdateOptions {
    // The folder address the release files are fetched from, each by its name.
    QString releaseUrl;
    QString installFolder;
    // The release file to install (see YtDlpReleaseAsset); installed as "yt-dlp".
    QString asset;
    // gpgv, when installed; without it the signature of SHA2-256SUMS is not checked.
    QString gpgvProgram;
    QByteArray releaseKey;
    // Shorter waits for scripted runs against a local server.
    double retryWaitScale = 1.0;
    int stallSeconds = 60;
};

// The options for this machine: Tarnwick's own folder, the release file that runs here,
// gpgv from PATH and the shipped release key.
YtDlpUpdateOptions YtDlpUpdateDefaults(const QString& releaseUrl);

struct YtDlpUpdateResult {
    enum class Outcome { Installed, Failed, Stopped };
    Outcome outcome = Outcome::Failed;
    QString version;
    QString path;
    bool signatureChecked = false;
    // One line for the user: what was installed, or why nothing was.
    QString message;
};

// Fetches SHA2-256SUMS (and, with gpgv, its signature) and the release file, checks them,
// proves the program by running its --version and only then renames it over the working
// copy; any failure or a stop on the way leaves the working copy as it was. Progress,
// activity and the stop request go through the sink (which may be null). Runs on the
// calling thread; only the user's command starts it, nothing else reaches the network.
YtDlpUpdateResult UpdateYtDlp(const YtDlpUpdateOptions& options, ProgressSink* sink);

} // namespace Tarnwick
