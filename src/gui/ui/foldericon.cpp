#include "foldericon.h"

#include <QCoreApplication>
#include <QFileIconProvider>

namespace Tarnwick {

namespace {

QIcon* folderIcon = nullptr;

// Pixmaps must go while the application object still exists, not with the process's statics.
void ReleaseFolderIcon() {
    delete folderIcon;
    folderIcon = nullptr;
}

} // namespace

const QIcon& FolderIcon() {
    if (folderIcon == nullptr) {
        folderIcon = new QIcon(QFileIconProvider().icon(QFileIconProvider::Folder));
        qAddPostRoutine(&ReleaseFolderIcon);
    }
    return *folderIcon;
}

} // namespace Tarnwick
