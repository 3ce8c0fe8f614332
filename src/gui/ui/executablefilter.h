#pragma once

#include <QSortFilterProxyModel>

class QFileDialog;

namespace Tarnwick {

// Shows only the folders and the runnable files of a file dialog's folder. Programs here carry
// no extension a name filter could match; the file's execute permission tells them apart.
class ExecutableFilesFilter : public QSortFilterProxyModel {
    Q_OBJECT

public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void SetExecutablesOnly(bool on);
    bool ExecutablesOnly() const { return executablesOnly_; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    bool executablesOnly_ = true;
};

// Gives the dialog the filters "Executable Files" (first, selected) and "All Files".
void UseExecutableFilters(QFileDialog& dialog);

} // namespace Tarnwick
