#pragma once

#include "recentlist.h"

#include <QString>

class QSettings;

namespace Tarnwick {

// The user's settings. Read once at start-up, changed in memory while the program runs, and
// written once when it ends: a killed process loses only the changes of its own session.
struct AppSettings {
    QString defaultFolder;
    bool autoStart = false;
    bool autoClose = false;
    bool keepOnTop = false;
    bool iconic = false;
    int quality = 0;
    bool convert = true;
    bool alwaysOverwrite = false;
    QString player;
    // The web host of the video service; may carry a port ("127.0.0.1:8123").
    QString videoHost = QStringLiteral("www.youtube.com");
    // The yt-dlp program to use; empty means "yt-dlp" on PATH.
    QString ytDlpPath;
    RecentList recentUrlList{RecentList::Matching::Exact};
    RecentList recentFolderList{RecentList::Matching::Path};
    int recentFormat = 0;
    int recentPreset = 0;

    // Missing values keep the field's current value, which is its default on a fresh record.
    void Load(QSettings& settings);
    void Save(QSettings& settings) const;
};

} // namespace Tarnwick
