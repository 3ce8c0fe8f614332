#pragma once

#include <QString>
#include <functional>

class QSettings;

namespace Tarnwick {

// Applies change to the stored settings and writes back only the values it changed: the other
// lines of the file stay byte for byte, values another Tarnwick saved meanwhile survive, and
// when change changes nothing the file is not written at all. The new file is written beside
// the old one, read back and checked, and only then renamed over it, so a full disk, a failed
// write or a crash at any point leaves either the old file or the complete new one. A symbolic
// link is written through and stays a link; a file that is not a regular file (a pipe, a
// device) is never replaced: the save is refused with a message on standard error. False
// when the settings could not be saved; the old file is then untouched.
bool WriteSettingsSafely(const std::function<void(QSettings& settings)>& change);

// The settings file of this user, found as the settings themselves find it.
QString SettingsFilePath();

// Whether the settings file may be opened for reading: missing, or a regular file (through a
// link). Anything else (a pipe would make reading wait forever, a device has no settings) is
// left unopened and reported once on standard error; the program then starts from defaults.
bool SettingsFileIsReadable();

} // namespace Tarnwick
