#pragma once

#include "conversion/outputformat.h"

#include <QDialog>

class QComboBox;

namespace Tarnwick {

class PresetControls;
class TwoColumnComboBox;

// "Format Settings": pick a format and a preset, then adjust its values. What the user sets
// goes into the format's "Custom" preset; the named presets are never changed here. While the
// user edits, the preset list shows the named preset that equals the values, or "Custom".
class FormatSettingsDialog : public QDialog {
    Q_OBJECT

public:
    // formatIndex and presetIndex are the positions the main window's lists show; -1 means 0.
    FormatSettingsDialog(Catalog& catalog, int formatIndex, int presetIndex, QWidget* parent = nullptr);
    ~FormatSettingsDialog() override;

    // The format chosen, for the caller to select after OK; it re-selects the preset by the
    // format's currentIndex.
    int FormatIndex() const { return formatIndex_; }
    int PresetIndex() const { return presetIndex_; }
    OutputFormat* CurrentFormat() const { return format_; }
    // The values as they stand, collected into a fresh preset of the current format.
    Preset EditedValues() const;

    TwoColumnComboBox* FormatList() const { return formatList_; }
    TwoColumnComboBox* PresetList() const { return presetList_; }
    PresetControls* Controls() const { return controls_; }

public slots:
    void accept() override;

private:
    void FillFormatList();
    void FillPresetList();
    void LoadCurrentPreset();
    void OnFormatChosen(int index);
    void OnPresetChosen(int index);
    void MatchPresetList();
    void SelectPreset(int index);

    Catalog& catalog_;
    OutputFormat* format_ = nullptr;
    Preset* preset_ = nullptr;
    int formatIndex_ = 0;
    int presetIndex_ = 0;
    TwoColumnComboBox* formatList_ = nullptr;
    TwoColumnComboBox* presetList_ = nullptr;
    PresetControls* controls_ = nullptr;
};

} // namespace Tarnwick
