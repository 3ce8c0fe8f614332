#include "presetsettingsdialog.h"

#include "conversion/preset.h"
#include "dialogsupport.h"
#include "presetcontrols.h"
#include "ui/dialogunits.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace Tarnwick {

PresetSettingsDialog::PresetSettingsDialog(Preset& preset, QWidget* parent)
    : QDialog(parent)
    , preset_(preset) {
    setObjectName(QStringLiteral("id133"));
    setWindowTitle(QStringLiteral("Preset Settings"));
    setFont(SettingsDialogFont());
    const DialogUnits du(font());
    setFixedSize(du.X(300), du.Y(199));

    auto* nameLabel = new QLabel(QStringLiteral("Name:"), this);
    PlaceFitted(du, nameLabel, 7, 7, 22, 8);
    name_ = WithId(new QLineEdit(TextOf(preset.settings.name), this), 1166);
    // The record holds 63 bytes of name; a longer entry would be cut silently on OK.
    name_->setMaxLength(ConversionSettings::TextSize - 1);
    du.Place(name_, 7, 16, 286, 14);

    controls_ = new PresetControls(this, PresetControls::Kind::PresetSettings);
    controls_->Load(preset);

    auto* ok = WithId(new QPushButton(QStringLiteral("OK"), this), 1);
    du.Place(ok, 188, 178, 50, 14);
    ok->setDefault(true);
    auto* cancel = WithId(new QPushButton(QStringLiteral("Cancel"), this), 2);
    du.Place(cancel, 243, 178, 50, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    name_->setFocus();
}

PresetSettingsDialog::~PresetSettingsDialog() = default;

void PresetSettingsDialog::accept() {
    // Names are not checked: an empty or repeated name is the user's choice. SetText cuts at
    // 63 bytes without splitting a character, for names of multi-byte characters.
    SetText(preset_.settings.name, name_->text());
    controls_->Collect(preset_, true);
    QDialog::accept();
}

} // namespace Tarnwick
