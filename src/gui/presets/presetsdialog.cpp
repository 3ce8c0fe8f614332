#include "presetsdialog.h"

#include "conversion/preset.h"
#include "dialogsupport.h"
#include "presetsettingsdialog.h"
#include "ui/dialogunits.h"

#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <algorithm>

namespace Tarnwick {

namespace {

// The tree items carry the position of their format record; group items carry nothing.
constexpr int RecordRole = Qt::UserRole;
constexpr int NoRecord = -1;

QString DescriptionBoxText(const Preset& preset) {
    const PresetDescription parts = preset.DescribeParts();
    return QStringLiteral("Format: %1\nVideo: %2\nAudio: %3").arg(parts.format, parts.video, parts.audio);
}

} // namespace

void KeepCurrentIndexValid(OutputFormat& format, int oldPresetCount) {
    const int count = int(format.presets.size());
    if (format.customPreset && format.currentIndex >= oldPresetCount)
        format.currentIndex = count;
    else if (format.currentIndex < 0 || format.currentIndex >= count)
        format.currentIndex =
            format.defaultPreset >= 0 && format.defaultPreset < count ? format.defaultPreset : 0;
}

PresetsDialog::PresetsDialog(Catalog& catalog, QWidget* parent)
    : QDialog(parent)
    , catalog_(catalog) {
    setObjectName(QStringLiteral("id130"));
    setWindowTitle(QStringLiteral("Presets"));
    setFont(SettingsDialogFont());
    CreateControls();
    FillTree();
    FitToContent();
    UpdateButtons();
}

PresetsDialog::~PresetsDialog() {
    // The lists outlive the records while the base class destroys its children; no signal of
    // theirs may reach this object then.
    tree_->disconnect(this);
    list_->disconnect(this);
}

void PresetsDialog::CreateControls() {
    const DialogUnits du(font());
    setFixedSize(du.X(360), du.Y(220));

    PlaceFitted(du, new QLabel(QStringLiteral("Formats:"), this), 7, 7, 30, 8);
    tree_ = WithId(new QTreeWidget(this), 1024);
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(true);
    // Long format names get a horizontal scroll bar rather than being cut off at the border.
    tree_->header()->setStretchLastSection(false);
    tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    du.Place(tree_, 7, 16, 125, 173);

    PlaceFitted(du, new QLabel(QStringLiteral("Presets:"), this), 135, 7, 28, 8);
    list_ = WithId(new QTreeWidget(this), 1033);
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    list_->setUniformRowHeights(true);
    list_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Description")});
    list_->header()->setSectionsClickable(false);
    list_->header()->setStretchLastSection(false);
    list_->setColumnWidth(0, 120);
    list_->setColumnWidth(1, 820);
    du.Place(list_, 135, 16, 165, 173);

    // Kept for the selected preset's description, but never shown: the list's second column
    // and its tips carry the same text.
    description_ = WithId(new QPlainTextEdit(this), 1015);
    description_->setReadOnly(true);
    du.Place(description_, 135, 141, 165, 48);
    description_->hide();

    auto button = [&](int id, const QString& text, int x, int y, void (PresetsDialog::*action)()) {
        auto* widget = WithId(new QPushButton(text, this), id);
        du.Place(widget, x, y, 50, 14);
        widget->setAutoDefault(false);
        connect(widget, &QPushButton::clicked, this, action);
        return widget;
    };
    addButton_ = button(1165, QStringLiteral("Add"), 303, 16, &PresetsDialog::Add);
    deleteButton_ = button(1159, QStringLiteral("Delete"), 303, 33, &PresetsDialog::Delete);
    editButton_ = button(1160, QStringLiteral("Edit"), 303, 50, &PresetsDialog::Edit);
    defaultButton_ = button(1161, QStringLiteral("Default"), 303, 67, &PresetsDialog::MakeDefault);
    upButton_ = button(1162, QStringLiteral("Move Up"), 303, 84, &PresetsDialog::MoveUp);
    downButton_ = button(1163, QStringLiteral("Move Down"), 303, 101, &PresetsDialog::MoveDown);
    resetButton_ = button(1050, QStringLiteral("Reset"), 303, 175, &PresetsDialog::Reset);
    resetAllButton_ = button(1217, QStringLiteral("Reset All"), 7, 198, &PresetsDialog::ResetAll);
    addButton_->setToolTip(QStringLiteral("Add New Preset"));
    deleteButton_->setToolTip(QStringLiteral("Delete Selected Preset(s)"));
    editButton_->setToolTip(QStringLiteral("Edit Selected Preset"));
    defaultButton_->setToolTip(QStringLiteral("Set as Default"));
    resetButton_->setToolTip(QStringLiteral("Load Default Presets"));

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    du.Place(line, 7, 193, 346, 1);
    line->setFixedHeight(2);

    auto* ok = WithId(new QPushButton(QStringLiteral("OK"), this), 1);
    du.Place(ok, 248, 198, 50, 14);
    ok->setDefault(true);
    auto* cancel = WithId(new QPushButton(QStringLiteral("Cancel"), this), 2);
    du.Place(cancel, 303, 198, 50, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    connect(tree_, &QTreeWidget::currentItemChanged, this, &PresetsDialog::OnTreeSelectionChanged);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &PresetsDialog::OnRowSelectionChanged);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { Edit(); });
}

void PresetsDialog::FillTree() {
    {
        const QSignalBlocker blocker(tree_);
        tree_->clear();
    }
    shown_ = nullptr;
    rows_.clear();
    records_.clear();
    QTreeWidgetItem* first = nullptr;
    for (const auto& group : catalog_) {
        auto* groupItem = new QTreeWidgetItem(tree_, {group->name});
        groupItem->setData(0, RecordRole, NoRecord);
        for (const auto& format : group->formats) {
            auto record = std::make_unique<FormatRecord>();
            record->format = format.get();
            auto* item = new QTreeWidgetItem(
                groupItem, {QStringLiteral("%1 (%2)").arg(format->displayName, format->extension)});
            item->setData(0, RecordRole, int(records_.size()));
            records_.push_back(std::move(record));
            if (first == nullptr)
                first = item;
        }
    }
    tree_->expandAll();
    if (first != nullptr)
        tree_->setCurrentItem(first);
    else
        ShowFormat(nullptr);
}

PresetsDialog::FormatRecord* PresetsDialog::RecordOf(QTreeWidgetItem* item) const {
    if (item == nullptr)
        return nullptr;
    const int position = item->data(0, RecordRole).toInt();
    return position >= 0 && position < int(records_.size()) ? records_[position].get() : nullptr;
}

void PresetsDialog::OnTreeSelectionChanged(QTreeWidgetItem* current, QTreeWidgetItem* /*previous*/) {
    SaveRows();
    ShowFormat(RecordOf(current));
}

void PresetsDialog::SaveRows() {
    if (shown_ == nullptr)
        return;
    if (!shown_->working)
        shown_->working.emplace();
    shown_->working->clear();
    for (Row& row : rows_) {
        row.preset->SetFavorite(row.favorite);
        shown_->working->push_back(std::move(row));
    }
    rows_.clear();
}

void PresetsDialog::ShowFormat(FormatRecord* record) {
    shown_ = record;
    rows_.clear();
    list_->setEnabled(record != nullptr);
    if (record != nullptr) {
        if (record->working) {
            rows_ = std::move(*record->working);
            record->working->clear();
        } else {
            // First visit: copies of the catalogue's presets, re-applied so that their codecs
            // are looked up again.
            OutputFormat* format = record->format;
            for (const auto& preset : format->presets) {
                Row row;
                row.preset = std::make_unique<Preset>(format);
                row.preset->Apply(preset->settings);
                row.favorite = (preset->settings.flags & ConversionSettings::FavoriteMark) != 0;
                rows_.push_back(std::move(row));
            }
            record->workingDefault = format->defaultPreset;
        }
    }
    describedRow_ = -1;
    ShowRows({});
}

void PresetsDialog::ShowRows(const QList<int>& selected) {
    const QSignalBlocker blocker(list_);
    list_->clear();
    const int boldRow = BoldRow();
    QFont bold = list_->font();
    bold.setBold(true);
    for (size_t i = 0; i < rows_.size(); ++i) {
        const Preset& preset = *rows_[i].preset;
        const QString description = preset.Describe();
        auto* item = new QTreeWidgetItem(list_, {TextOf(preset.settings.name), description});
        item->setToolTip(0, TextOf(preset.settings.name));
        item->setToolTip(1, description);
        if (int(i) == boldRow) {
            item->setFont(0, bold);
            item->setFont(1, bold);
        }
    }
    for (int row : selected) {
        if (QTreeWidgetItem* item = list_->topLevelItem(row))
            item->setSelected(true);
    }
    if (!selected.isEmpty())
        list_->setCurrentItem(list_->topLevelItem(selected.first()), 0, QItemSelectionModel::NoUpdate);
    OnRowSelectionChanged();
}

QList<int> PresetsDialog::SelectedRows() const {
    QList<int> rows;
    for (QTreeWidgetItem* item : list_->selectedItems())
        rows.append(list_->indexOfTopLevelItem(item));
    std::sort(rows.begin(), rows.end());
    return rows;
}

int PresetsDialog::WorkingDefault() const {
    return shown_ ? shown_->workingDefault : -1;
}

int PresetsDialog::BoldRow() const {
    const int row = WorkingDefault();
    return row >= 0 && row < int(rows_.size()) ? row : -1;
}

QString PresetsDialog::DescriptionText() const {
    return description_->toPlainText();
}

void PresetsDialog::OnRowSelectionChanged() {
    const QList<int> selected = SelectedRows();
    const int first = selected.isEmpty() ? -1 : selected.first();
    if (first != describedRow_) {
        describedRow_ = first;
        description_->setPlainText(first >= 0 ? DescriptionBoxText(*rows_[first].preset) : QString());
    }
    UpdateButtons();
}

void PresetsDialog::UpdateButtons() {
    const QList<int> selected = SelectedRows();
    const bool any = !selected.isEmpty();
    addButton_->setEnabled(shown_ != nullptr);
    deleteButton_->setEnabled(any);
    editButton_->setEnabled(any);
    defaultButton_->setEnabled(any);
    upButton_->setEnabled(any && selected.first() > 0);
    downButton_->setEnabled(any && selected.first() < int(rows_.size()) - 1);
    resetButton_->setEnabled(shown_ != nullptr);
    resetAllButton_->setEnabled(true);
}

void PresetsDialog::Add() {
    if (!addButton_->isEnabled())
        return;
    const QList<int> selected = SelectedRows();
    auto preset = std::make_unique<Preset>(shown_->format);
    if (!selected.isEmpty())
        *preset = *rows_[selected.first()].preset;
    else if (BoldRow() >= 0)
        *preset = *rows_[BoldRow()].preset;
    SetText(preset->settings.name, "New Preset");
    PresetSettingsDialog editor(*preset, this);
    if (editor.exec() != QDialog::Accepted)
        return;
    const int at = selected.isEmpty() ? int(rows_.size()) : selected.first() + 1;
    // The default is a position: it moves along when a row goes in before it, so that it
    // stays on the same preset.
    if (shown_->workingDefault >= at && shown_->workingDefault < int(rows_.size()))
        ++shown_->workingDefault;
    // A preset made here is the user's own, which the favourite mark records.
    rows_.insert(rows_.begin() + at, Row{std::move(preset), true});
    ShowRows({at});
    list_->setFocus();
}

void PresetsDialog::Delete() {
    const QList<int> selected = SelectedRows();
    if (selected.isEmpty())
        return;
    int& defaultRow = shown_->workingDefault;
    const bool defaultDeleted = selected.contains(defaultRow);
    const auto before =
        std::count_if(selected.begin(), selected.end(), [&](int row) { return row < defaultRow; });
    for (auto it = selected.rbegin(); it != selected.rend(); ++it)
        rows_.erase(rows_.begin() + *it);
    // Keep the default on its preset; with that preset gone the first row is the default, and
    // an index past the list is never left behind.
    defaultRow = defaultDeleted ? 0 : defaultRow - int(before);
    if (defaultRow < 0 || defaultRow >= int(rows_.size()))
        defaultRow = 0;
    ShowRows({});
}

void PresetsDialog::Edit() {
    const QList<int> selected = SelectedRows();
    if (selected.isEmpty())
        return;
    PresetSettingsDialog editor(*rows_[selected.first()].preset, this);
    if (editor.exec() == QDialog::Accepted)
        ShowRows(selected);
}

void PresetsDialog::MakeDefault() {
    const QList<int> selected = SelectedRows();
    if (selected.isEmpty())
        return;
    shown_->workingDefault = selected.first();
    ShowRows(selected);
}

void PresetsDialog::MoveUp() {
    const QList<int> selected = SelectedRows();
    if (selected.isEmpty() || selected.first() == 0)
        return;
    SwapRows(selected.first(), selected.first() - 1);
}

void PresetsDialog::MoveDown() {
    const QList<int> selected = SelectedRows();
    if (selected.isEmpty() || selected.first() >= int(rows_.size()) - 1)
        return;
    SwapRows(selected.first(), selected.first() + 1);
}

void PresetsDialog::SwapRows(int a, int b) {
    std::swap(rows_[a], rows_[b]);
    int& defaultRow = shown_->workingDefault;
    if (defaultRow == a)
        defaultRow = b;
    else if (defaultRow == b)
        defaultRow = a;
    ShowRows({b});
    list_->setFocus();
}

void PresetsDialog::Reset() {
    if (shown_ == nullptr)
        return;
    // The factory set goes to the working list only; the catalogue changes on OK.
    OutputFormat* format = shown_->format;
    rows_.clear();
    for (const FactoryPreset& factory : format->FactoryPresets()) {
        Row row;
        row.preset = std::make_unique<Preset>(format);
        row.preset->Apply(factory.Record());
        row.favorite = (factory.flags & ConversionSettings::FavoriteMark) != 0;
        rows_.push_back(std::move(row));
    }
    shown_->workingDefault = format->FactoryDefault();
    ShowRows({});
}

void PresetsDialog::ResetAll() {
    for (const auto& group : catalog_) {
        for (const auto& format : group->formats) {
            const int oldCount = int(format->presets.size());
            format->ResetToFactory();
            KeepCurrentIndexValid(*format, oldCount);
        }
    }
    catalogReset_ = true;
    FillTree();
    UpdateButtons();
}

void PresetsDialog::accept() {
    SaveRows();
    for (const auto& record : records_) {
        if (!record->working)
            continue;
        OutputFormat& format = *record->format;
        const int oldCount = int(format.presets.size());
        format.presets.clear();
        for (Row& row : *record->working) {
            row.preset->SetFavorite(row.favorite);
            format.presets.push_back(std::move(row.preset));
        }
        record->working.reset();
        const int count = int(format.presets.size());
        format.defaultPreset =
            record->workingDefault >= 0 && record->workingDefault < count ? record->workingDefault : 0;
        KeepCurrentIndexValid(format, oldCount);
    }
    // Nothing is shown any more: the rows have gone to the catalogue.
    shown_ = nullptr;
    QDialog::accept();
}

} // namespace Tarnwick
