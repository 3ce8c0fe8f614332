// The folder field with its recent folders, and the format and preset lists.

#include "app/appsettings.h"
#include "conversion/preset.h"
#include "mainwindow.h"
#include "ui/foldericon.h"
#include "ui/twocolumncombobox.h"

#include <QComboBox>

namespace Tarnwick {

void MainWindow::RefillFolderList() {
    const QString text = folderField_->currentText();
    folderField_->clear();
    for (const QString& folder : settings_.recentFolderList.Entries())
        folderField_->addItem(FolderIcon(), folder);
    folderField_->setEditText(text);
}

void MainWindow::FillFolderField() {
    RefillFolderList();
    if (!saveFolder_.isEmpty()) {
        folderField_->setEditText(saveFolder_);
    } else if (folderField_->count() > 0) {
        folderField_->setCurrentIndex(0);
        saveFolder_ = folderField_->itemText(0);
    }
}

void MainWindow::FillFormatCombo() {
    formatCombo_->clear();
    QList<int> groupCounts;
    if (catalog_) {
        for (const auto& group : *catalog_) {
            for (const auto& format : group->formats)
                formatCombo_->addItem(QStringLiteral("%1\t%2").arg(format->displayName, format->extension),
                                      QVariant::fromValue(reinterpret_cast<quintptr>(format.get())));
            groupCounts.append(static_cast<int>(group->formats.size()));
        }
    }
    formatCombo_->SetGroupCounts(groupCounts);
    formatIndex_ = -1;
    presetIndex_ = -1;
    if (formatCombo_->count() > 0) {
        const int stored = settings_.recentFormat;
        formatCombo_->setCurrentIndex(stored >= 0 && stored < formatCombo_->count() ? stored : 0);
        OnFormatChanged();
        const int preset = settings_.recentPreset;
        presetCombo_->setCurrentIndex(preset >= 0 && preset < presetCombo_->count() ? preset : 0);
    }
}

void MainWindow::OnFormatChanged() {
    const int selected = formatCombo_->currentIndex();
    if (selected < 0 || selected == formatIndex_)
        return;
    formatIndex_ = selected;
    currentFormat_ = reinterpret_cast<OutputFormat*>(formatCombo_->itemData(selected).value<quintptr>());
    RefillPresetCombo();
}

void MainWindow::RefillPresetCombo() {
    presetCombo_->clear();
    presetIndex_ = -1;
    if (!currentFormat_)
        return;
    auto data = [](const Preset* preset) {
        return QVariant::fromValue(reinterpret_cast<quintptr>(preset));
    };
    for (const auto& preset : currentFormat_->presets)
        presetCombo_->addItem(preset->DisplayText(true), data(preset.get()));
    if (currentFormat_->customPreset) {
        presetCombo_->addItem(QStringLiteral("Custom"), data(currentFormat_->customPreset.get()));
        currentFormat_->customIndex = presetCombo_->count() - 1;
    } else {
        currentFormat_->customIndex = -1;
    }
    const int wanted =
        currentFormat_->currentIndex >= 0 ? currentFormat_->currentIndex : currentFormat_->defaultPreset;
    presetCombo_->setCurrentIndex(wanted >= 0 && wanted < presetCombo_->count() ? wanted : 0);
}

} // namespace Tarnwick
