#pragma once

#include "conversion/outputformat.h"

#include <QString>

namespace Tarnwick {

// Owns the catalogue of output formats and keeps their presets in Presets.xml: read once at
// start-up, written once at exit. Only the user-interface thread touches it.
class PresetStore {
public:
    PresetStore();
    ~PresetStore();
    PresetStore(const PresetStore&) = delete;
    PresetStore& operator=(const PresetStore&) = delete;

    // The text that marks a file as ours: written to, and required of, the Factory element.
    static const char* const IdentityText;
    static const char* const FileName;

    // Builds the catalogue with empty preset lists.
    void BuildCatalog();
    // Builds the catalogue and reads the presets from the file in the folder chosen by
    // PresetFolder(installFolder); every format gets its factory presets when the file is
    // missing or not ours. Always true.
    bool LoadPresets(const QString& installFolder);
    // Whether the file at Path() was accepted; a preset that does not fit the catalogue is
    // dropped alone. A file that is there but not accepted leaves its reason in RejectReason().
    bool ReadPresetFile();
    // The same for the file's bytes, line ends already made "\n".
    bool ReadPresetText(const QByteArray& bytes);
    const QString& RejectReason() const { return rejectReason_; }
    // What the user is told once after LoadPresets: an existing file was not accepted, and
    // where it was kept. Empty when there is nothing to say.
    const QString& LoadNotice() const { return loadNotice_; }
    // Whether the file was saved. It is replaced in one step, so a failed save leaves the
    // previous file whole; a symbolic link is saved through, and stays a link.
    bool WritePresetFile() const;
    // Writes the file, then destroys the catalogue. Writes only a catalogue that was loaded,
    // so that a start-up which ended early never overwrites the user's presets.
    void SaveAndRelease();

    const QString& Identity() const { return identity_; }
    const QString& Path() const { return path_; }
    void SetPath(const QString& path) { path_ = path; }

    Catalog& Groups() { return groups_; }
    const Catalog& Groups() const { return groups_; }
    int DefaultGroup() const { return defaultGroup_; }
    void SetDefaultGroup(int index) { defaultGroup_ = index; }
    // Every format of every group gets its factory presets.
    void ResetAllToFactory();

private:
    void KeepRejectedFile();

    QString identity_;
    Catalog groups_;
    int defaultGroup_ = 0;
    QString path_;
    bool loaded_ = false;
    QString rejectReason_;
    QString loadNotice_;
};

// The installation folder when the program may write there, else the per-user data folder.
QString PresetFolder(const QString& installFolder);

} // namespace Tarnwick
