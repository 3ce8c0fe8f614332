#pragma once

#include <QDialog>

class QLineEdit;

namespace Tarnwick {

class Preset;
class PresetControls;

// "Preset Settings": edits one preset's name and values in place. The preset's format decides
// which sections exist. On Cancel the preset is left as it was.
class PresetSettingsDialog : public QDialog {
    Q_OBJECT

public:
    explicit PresetSettingsDialog(Preset& preset, QWidget* parent = nullptr);
    ~PresetSettingsDialog() override;

    QLineEdit* NameBox() const { return name_; }
    PresetControls* Controls() const { return controls_; }

public slots:
    void accept() override;

private:
    Preset& preset_;
    QLineEdit* name_ = nullptr;
    PresetControls* controls_ = nullptr;
};

} // namespace Tarnwick
