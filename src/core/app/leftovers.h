#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace Tarnwick {

// Where an earlier Tarnwick may have left files behind when it ended without cleaning up (a
// crash, a kill, a power cut).
struct LeftoverPlaces {
    QString settingsFile;      // Tarnwick.conf
    QString presetFile;        // Presets.xml
    QStringList outputFolders; // the default and recent output folders
    QString tempFolder;        // the system's temporary folder
    QStringList keptFiles;     // working files kept on purpose, for downloads a later run continues
};

// Copies of the settings and preset files younger than this may still be on their way into
// place in a running Tarnwick; they live for the fraction of a second a save takes.
constexpr qint64 SaveLeftoverAgeSeconds = 10 * 60;
// A job's temporary file may sit unchanged while the job converts it, for as long as a
// conversion takes.
constexpr qint64 JobLeftoverAgeSeconds = 24 * 60 * 60;

// Removes our own leftovers that no running Tarnwick can still be writing, judged by name and
// age, and for the settings' lock file by the lock itself. Touches regular files only, never
// follows a link. Returns how many files were removed.
int RemoveLeftovers(const LeftoverPlaces& places, const QDateTime& now = QDateTime::currentDateTimeUtc());

} // namespace Tarnwick
