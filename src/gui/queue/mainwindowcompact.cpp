// Keep-on-top, the compact mode, dragging the window by its client area, and the header band.

#include "joblistview.h"
#include "mainwindow.h"
#include "ui/linkbutton.h"
#include "ui/windowflags.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolBar>

namespace Tarnwick {

namespace {

// Height of the white header band behind the link buttons, in pixels.
constexpr int HeaderBandHeight = 24;
// Client size of the compact window, in pixels.
constexpr QSize CompactClientSize(32, 24);

} // namespace

void MainWindow::ApplyKeepOnTop() {
    if (compact_)
        return; // the compact window is always on top
    // In place: the window neither moves nor resizes, and stays shown.
    SetWindowFlagInPlace(this, Qt::WindowStaysOnTopHint, keepOnTop_);
}

void MainWindow::SetCompact(bool compact) {
    if (compact == compact_)
        return;
    if (compact) {
        fullRect_ = geometry();
        SetWindowFlagInPlace(this, Qt::FramelessWindowHint, true);
        SetWindowFlagInPlace(this, Qt::WindowStaysOnTopHint, true);
        setFixedSize(CompactClientSize);
        if (compactRect_.isNull()) {
            const QRect screen = this->screen()->availableGeometry();
            move(screen.center() - QPoint(CompactClientSize.width() / 2, CompactClientSize.height() / 2));
        } else {
            setGeometry(compactRect_);
        }
        optionsLink_->hide();
        toolbar_->hide();
        list_->hide();
        programIcon_->show();
        programIcon_->raise();
    } else {
        compactRect_ = geometry();
        SetWindowFlagInPlace(this, Qt::FramelessWindowHint, false);
        SetWindowFlagInPlace(this, Qt::WindowStaysOnTopHint, keepOnTop_);
        setFixedSize(fullRect_.size());
        setGeometry(fullRect_);
        optionsLink_->show();
        toolbar_->show();
        list_->show();
        programIcon_->hide();
    }
    compact_ = compact;
}

void MainWindow::Restore() {
    SetCompact(false);
}

void MainWindow::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (isMinimized()) {
        const QPixmap icon = windowIcon().pixmap(32, 32);
        painter.drawPixmap(rect().center() - icon.rect().center(), icon);
        return;
    }
    // White on a light scheme, as the band always was; dark on a dark one, so its links read.
    painter.fillRect(QRect(0, 0, width(), HeaderBandHeight), palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(0, HeaderBandHeight - 1, width(), HeaderBandHeight - 1);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        // The client area moves the window as the caption would.
        dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        dragging_ = true;
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - dragOffset_);
        event->accept();
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    QDialog::mouseReleaseEvent(event);
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragging_ = false;
        SetCompact(!compact_);
        event->accept();
        return;
    }
    QDialog::mouseDoubleClickEvent(event);
}

} // namespace Tarnwick
