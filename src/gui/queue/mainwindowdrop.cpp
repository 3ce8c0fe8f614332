// Addresses and links dropped on the window, and folders dropped on the folder field.

#include "mainwindow.h"

#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>

namespace Tarnwick {

namespace {

// The text of dragged data: its plain text, else its first link.
QString DroppedText(const QMimeData* data) {
    if (data->hasText())
        return data->text();
    if (data->hasUrls() && !data->urls().isEmpty())
        return data->urls().first().toString();
    return {};
}

bool OffersText(const QMimeData* data) {
    return data->hasText() || data->hasUrls();
}

// The first dropped item that is a folder.
QString DroppedFolder(const QMimeData* data) {
    if (!data->hasUrls())
        return {};
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isDir())
            return QDir::toNativeSeparators(url.toLocalFile());
    }
    return {};
}

// A drag over the window is taken when it carries text or links: moved, or copied with Ctrl.
void AnswerTextDrag(QDragMoveEvent* event) {
    if (!OffersText(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(event->modifiers() & Qt::ControlModifier ? Qt::CopyAction : Qt::MoveAction);
    event->accept();
}

} // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    AnswerTextDrag(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    AnswerTextDrag(event);
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString text = DroppedText(event->mimeData());
    if (text.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(event->modifiers() & Qt::ControlModifier ? Qt::CopyAction : Qt::MoveAction);
    event->accept();
    AddFromDrop(text);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const bool folderField = watched == folderField_ || watched == folderField_->lineEdit();
    if (folderField && (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove)) {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!DroppedFolder(drag->mimeData()).isEmpty()) {
            drag->acceptProposedAction();
            return true;
        }
        drag->ignore();
        return true;
    }
    if (folderField && event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString folder = DroppedFolder(drop->mimeData());
        if (!folder.isEmpty()) {
            drop->acceptProposedAction();
            folderField_->setEditText(folder);
            activateWindow();
            raise();
        } else {
            drop->ignore();
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace Tarnwick
