#pragma once

#include "conversion/outputformat.h"

#include <QDialog>
#include <memory>
#include <optional>
#include <vector>

class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace Tarnwick {

// "Presets": add, edit, delete and reorder the named presets of every format, choose each
// format's default, and restore factory presets. Edits are made on working copies, which
// replace the catalogue's presets only on OK; only "Reset All" acts on the catalogue at once.
class PresetsDialog : public QDialog {
    Q_OBJECT

public:
    explicit PresetsDialog(Catalog& catalog, QWidget* parent = nullptr);
    ~PresetsDialog() override;

    QTreeWidget* Tree() const { return tree_; }
    QTreeWidget* List() const { return list_; }
    // The default row of the format shown, or -1 when a group is shown.
    int WorkingDefault() const;
    // The row drawn bold, or -1.
    int BoldRow() const;
    QString DescriptionText() const;
    // Whether "Reset All" has replaced the catalogue's presets, which it does even on Cancel.
    bool CatalogReset() const { return catalogReset_; }

    // The buttons' actions; each does nothing while its button is disabled.
    void Add();
    void Delete();
    void Edit();
    void MakeDefault();
    void MoveUp();
    void MoveDown();
    void Reset();
    void ResetAll();

public slots:
    void accept() override;

private:
    struct Row {
        std::unique_ptr<Preset> preset;
        bool favorite = false;
    };
    // The tree item of a format: its working list exists once the user has left the format.
    struct FormatRecord {
        OutputFormat* format = nullptr;
        std::optional<std::vector<Row>> working;
        int workingDefault = 0;
    };

    void CreateControls();
    void FillTree();
    // Grows the dialog, within the screen, until its lists show every format, the longest
    // format name and a whole description line at the desktop's font and scale.
    void FitToContent();
    void OnTreeSelectionChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    FormatRecord* RecordOf(QTreeWidgetItem* item) const;
    void SaveRows();
    void ShowFormat(FormatRecord* record);
    void ShowRows(const QList<int>& selected);
    QList<int> SelectedRows() const;
    void OnRowSelectionChanged();
    void SwapRows(int a, int b);
    void UpdateButtons();

    Catalog& catalog_;
    std::vector<std::unique_ptr<FormatRecord>> records_;
    FormatRecord* shown_ = nullptr;
    std::vector<Row> rows_;
    int describedRow_ = -1;
    bool catalogReset_ = false;

    QTreeWidget* tree_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QPlainTextEdit* description_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPushButton* editButton_ = nullptr;
    QPushButton* defaultButton_ = nullptr;
    QPushButton* upButton_ = nullptr;
    QPushButton* downButton_ = nullptr;
    QPushButton* resetButton_ = nullptr;
    QPushButton* resetAllButton_ = nullptr;
};

// After a format's preset list is replaced: a selection of "Custom" (the entry after the last
// preset) stays on "Custom", and a position past the new list falls back to the default.
void KeepCurrentIndexValid(OutputFormat& format, int oldPresetCount);

} // namespace Tarnwick
