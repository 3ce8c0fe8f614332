#pragma once

#include "appsettings.h"

#include <QSet>
#include <QStringList>

namespace Tarnwick {

// The settings of this Tarnwick and what it read of them, so that at exit it writes only what
// it changed. Several instances run at once (each page handed over by the browser starts one):
// a value another instance saved meanwhile survives this one's exit unless this one changed it
// too, the recent lists take in both instances' additions, and an exit with nothing to save
// writes nothing.
class SettingsStore {
public:
    // Reads the stored settings; a settings file that is not a regular file is not opened, and
    // the defaults stay.
    void Load();
    AppSettings& Values() { return values_; }
    const AppSettings& Values() const { return values_; }

    // The values named by keys ("Settings/Player") that this instance has not changed take what
    // is stored now, so that a dialog shows what another instance saved meanwhile.
    void Refresh(const QStringList& keys);

    // Whether Save would write anything: a value changed, an address or folder was added, or a
    // value is missing from the file.
    bool HasChanges() const;
    // Writes what HasChanges names into the file as it is stored now. True when saved or when
    // there was nothing to save.
    bool Save();

private:
    AppSettings values_;
    AppSettings loaded_;
    QSet<QString> storedKeys_;
};

} // namespace Tarnwick
