#include "formatsettingsdialog.h"

#include "conversion/preset.h"
#include "dialogsupport.h"
#include "presetcontrols.h"
#include "ui/dialogunits.h"
#include "ui/twocolumncombobox.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

namespace Tarnwick {

namespace {

template <typename T>
T* ItemObject(const QComboBox* list, int index) {
    return reinterpret_cast<T*>(list->itemData(index).value<quintptr>());
}

QVariant ObjectData(const void* object) {
    return QVariant::fromValue(reinterpret_cast<quintptr>(object));
}

} // namespace

FormatSettingsDialog::FormatSettingsDialog(Catalog& catalog, int formatIndex, int presetIndex,
                                           QWidget* parent)
    : QDialog(parent)
    , catalog_(catalog)
    , formatIndex_(formatIndex < 0 ? 0 : formatIndex)
    , presetIndex_(presetIndex < 0 ? 0 : presetIndex) {
    setObjectName(QStringLiteral("id124"));
    setWindowTitle(QStringLiteral("Format Settings"));
    setFont(SettingsDialogFont());
    const DialogUnits du(font());
    setFixedSize(du.X(300), du.Y(180));

    auto* formatLabel = new QLabel(QStringLiteral("Format:"), this);
    PlaceFitted(du, formatLabel, 7, 7, 26, 8);
    formatList_ = WithId(new TwoColumnComboBox(TwoColumnItemDelegate::Kind::FormatList, this), 1024);
    formatList_->SetColumnOffset(124);
    du.Place(formatList_, 7, 16, 120, 12);
    formatList_->setToolTip(QStringLiteral("Select File Format"));
    auto* presetLabel = new QLabel(QStringLiteral("Preset:"), this);
    PlaceFitted(du, presetLabel, 131, 7, 24, 8);
    presetList_ = WithId(new TwoColumnComboBox(TwoColumnItemDelegate::Kind::PresetList, this), 1033);
    presetList_->SetColumnOffset(170);
    du.Place(presetList_, 131, 16, 162, 12);
    presetList_->setToolTip(QStringLiteral("Select Format Settings Preset"));

    controls_ = new PresetControls(this, PresetControls::Kind::FormatSettings);

    auto* ok = WithId(new QPushButton(QStringLiteral("OK"), this), 1);
    du.Place(ok, 188, 159, 50, 14);
    ok->setDefault(true);
    auto* cancel = WithId(new QPushButton(QStringLiteral("Cancel"), this), 2);
    du.Place(cancel, 243, 159, 50, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    FillFormatList();
    connect(formatList_, &QComboBox::currentIndexChanged, this, &FormatSettingsDialog::OnFormatChosen);
    connect(presetList_, &QComboBox::currentIndexChanged, this, &FormatSettingsDialog::OnPresetChosen);
    connect(controls_, &PresetControls::valuesChanged, this, &FormatSettingsDialog::MatchPresetList);
}

FormatSettingsDialog::~FormatSettingsDialog() {
    // The lists outlive this object's members while the base class destroys its children.
    formatList_->disconnect(this);
    presetList_->disconnect(this);
}

void FormatSettingsDialog::FillFormatList() {
    const QSignalBlocker blocker(formatList_);
    formatList_->clear();
    QList<int> groupCounts;
    for (const auto& group : catalog_) {
        for (const auto& format : group->formats)
            formatList_->addItem(QStringLiteral("%1 (%2)").arg(format->displayName, format->extension),
                                 ObjectData(format.get()));
        groupCounts.append(int(group->formats.size()));
    }
    formatList_->SetGroupCounts(groupCounts);
    if (formatList_->count() == 0)
        return;
    if (formatIndex_ >= formatList_->count())
        formatIndex_ = 0;
    formatList_->setCurrentIndex(formatIndex_);
    format_ = ItemObject<OutputFormat>(formatList_, formatIndex_);
    FillPresetList();
}

void FormatSettingsDialog::FillPresetList() {
    const QSignalBlocker blocker(presetList_);
    presetList_->clear();
    format_->customIndex = -1;
    for (const auto& preset : format_->presets)
        presetList_->addItem(TextOf(preset->settings.name), ObjectData(preset.get()));
    if (format_->customPreset) {
        presetList_->addItem(QStringLiteral("Custom"), ObjectData(format_->customPreset.get()));
        format_->customIndex = presetList_->count() - 1;
    }
    const int count = presetList_->count();
    if (presetIndex_ < 0 || presetIndex_ >= count) {
        // The position chosen for another format may not exist here: take this format's own
        // choice, else its default, so that no position past the list's end is ever used.
        if (format_->currentIndex >= 0 && format_->currentIndex < count)
            presetIndex_ = format_->currentIndex;
        else if (format_->defaultPreset >= 0 && format_->defaultPreset < count)
            presetIndex_ = format_->defaultPreset;
        else
            presetIndex_ = 0;
    }
    if (count == 0) {
        // Neither presets nor "Custom": there is nothing to load values from.
        preset_ = nullptr;
        return;
    }
    presetList_->setCurrentIndex(presetIndex_);
    format_->currentIndex = presetIndex_;
    preset_ = ItemObject<Preset>(presetList_, presetIndex_);
    LoadCurrentPreset();
}

void FormatSettingsDialog::LoadCurrentPreset() {
    if (preset_ != nullptr)
        controls_->Load(*preset_);
}

void FormatSettingsDialog::OnFormatChosen(int index) {
    if (index < 0 || index == formatIndex_)
        return;
    formatIndex_ = index;
    format_ = ItemObject<OutputFormat>(formatList_, index);
    FillPresetList();
}

void FormatSettingsDialog::OnPresetChosen(int index) {
    if (index < 0 || format_ == nullptr)
        return;
    presetIndex_ = index;
    format_->currentIndex = index;
    preset_ = ItemObject<Preset>(presetList_, index);
    LoadCurrentPreset();
}

Preset FormatSettingsDialog::EditedValues() const {
    Preset values(format_);
    controls_->Collect(values, false);
    return values;
}

void FormatSettingsDialog::MatchPresetList() {
    if (format_ == nullptr || !format_->customPreset)
        return;
    const int found = format_->FindPreset(EditedValues());
    SelectPreset(found >= 0 ? found : format_->customIndex);
}

void FormatSettingsDialog::SelectPreset(int index) {
    // Matching only points at the entry; the values stay those the user set.
    const QSignalBlocker blocker(presetList_);
    presetList_->setCurrentIndex(index);
    presetIndex_ = index;
    format_->currentIndex = index;
}

void FormatSettingsDialog::accept() {
    if (format_ != nullptr) {
        Preset* target = format_->customPreset ? format_->customPreset.get() : preset_;
        if (target != nullptr) {
            const Preset editing = EditedValues();
            controls_->Collect(*target, true);
            // The final parse rules can change a value (a rate below 0.01 fps becomes Auto), and
            // the caller selects the preset at currentIndex: it must equal what was stored.
            if (format_->customPreset) {
                Preset stored(format_);
                controls_->Collect(stored, true);
                if (!SameSettings(stored, editing)) {
                    const int found = format_->FindPreset(stored);
                    SelectPreset(found >= 0 ? found : format_->customIndex);
                }
            }
        }
    }
    QDialog::accept();
}

} // namespace Tarnwick
