#pragma once

#include <functional>

class QSettings;

namespace Tarnwick {

// Applies change to the stored settings and writes them back in one step: the new file is
// written beside the old one, checked, read back and only then renamed over it, so a full disk,
// a failed write or a crash at any point leaves either the old file or the complete new one.
// A symbolic link is written through and stays a link. False when the settings could not be
// saved; the old file is then untouched.
bool WriteSettingsSafely(const std::function<void(QSettings& settings)>& change);

} // namespace Tarnwick
