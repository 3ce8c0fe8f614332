#include "executablefilter.h"

#include <QFileDialog>
#include <QFileSystemModel>

namespace Tarnwick {

void ExecutableFilesFilter::SetExecutablesOnly(bool on) {
    if (on == executablesOnly_)
        return;
    executablesOnly_ = on;
    invalidateFilter();
}

bool ExecutableFilesFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (!executablesOnly_)
        return true;
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (!files)
        return true;
    const QFileInfo info = files->fileInfo(files->index(sourceRow, 0, sourceParent));
    // Folders stay, so that the user can walk to the program; their execute bit means "enter".
    return info.isDir() || (info.isFile() && info.isExecutable());
}

void UseExecutableFilters(QFileDialog& dialog) {
#ifdef Q_OS_WIN
    dialog.setNameFilters({QStringLiteral("Executable Files (*.exe)"), QStringLiteral("All Files (*.*)")});
#else
    const QString executables = QStringLiteral("Executable Files (*)");
    // Only the dialog's own file list can take a proxy.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* filter = new ExecutableFilesFilter(&dialog);
    dialog.setProxyModel(filter);
    dialog.setNameFilters({executables, QStringLiteral("All Files (*)")});
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, filter,
        [filter, executables](const QString& name) { filter->SetExecutablesOnly(name == executables); });
#endif
}

} // namespace Tarnwick
