// The window's commands as toolbar buttons, menus and accelerators.

#include "commandids.h"
#include "joblistview.h"
#include "mainwindow.h"
#include "ui/programicon.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

namespace Tarnwick {

QAction* MainWindow::MakeAction(int commandId, const QString& text, void (MainWindow::*handler)()) {
    auto* action = new QAction(text, this);
    action->setObjectName(IdName(commandId));
    action->setData(commandId);
    connect(action, &QAction::triggered, this, handler);
    actions_[commandId].append(action);
    return action;
}

void MainWindow::CreateCommands() {
    struct ToolbarEntry {
        int id;
        const char* text;
        const char* tip;
        void (MainWindow::*handler)();
    };
    const ToolbarEntry entries[] = {
        {Command::AddUrl, "Add URL", "Add URL to Download (Insert)", &MainWindow::OpenAddUrlDialog},
        {Command::AddFromClipboard, "Paste URL", "Add URL on Clipboard to Download (Ctrl+Insert)",
         &MainWindow::AddFromClipboard},
        {Command::Remove, "Remove", "Remove Selected Item(s) (Del)", &MainWindow::RemoveSelected},
        {Command::Clear, "Clear", "Remove All Items (Ctrl+Del)", &MainWindow::ClearList},
        {0, nullptr, nullptr, nullptr},
        {Command::Play, "Play", "Play Downloaded File (Ctrl+P)", &MainWindow::Play},
        {Command::Rename, "Rename", "Rename Downloaded File (F2)", &MainWindow::Rename},
        {Command::CopyTo, "Copy To", "Copy Downloaded File to Specfied Folder (Ctrl+C)", &MainWindow::CopyTo},
    };
    for (const ToolbarEntry& entry : entries) {
        if (entry.id == 0) {
            toolbar_->addSeparator();
            continue;
        }
        QAction* action = MakeAction(entry.id, QString::fromLatin1(entry.text), entry.handler);
        action->setIcon(ToolbarImage(entry.id));
        action->setToolTip(QString::fromLatin1(entry.tip));
        toolbar_->addAction(action);
        toolbar_->widgetForAction(action)->setObjectName(QStringLiteral("toolbar%1").arg(entry.id));
    }
}

void MainWindow::CreateMenus() {
    mainMenu_ = new QMenu(this);
    mainMenu_->addAction(
        MakeAction(Command::Options, QStringLiteral("Options..."), &MainWindow::ShowOptions));
    mainMenu_->addAction(
        MakeAction(Command::Presets, QStringLiteral("Presets..."), &MainWindow::ShowPresets));
    mainMenu_->addAction(
        MakeAction(Command::UpdateYtDlp, QStringLiteral("Update yt-dlp"), &MainWindow::StartYtDlpUpdate));
    mainMenu_->addSeparator();
    mainMenu_->addAction(MakeAction(Command::Support, QStringLiteral("Support"), &MainWindow::OpenSupport));
    mainMenu_->addAction(MakeAction(Command::WebSite, QStringLiteral("Web Site"), &MainWindow::OpenWebSite));
    mainMenu_->addSeparator();
    mainMenu_->addAction(MakeAction(Command::About, QStringLiteral("About..."), &MainWindow::ShowAbout));

    compactMenu_ = new QMenu(this);
    QAction* restore = MakeAction(Command::Restore, QStringLiteral("Restore"), &MainWindow::Restore);
    compactMenu_->addAction(restore);
    compactMenu_->setDefaultAction(restore);
    compactMenu_->addSeparator();
    compactMenu_->addAction(
        MakeAction(Command::StartDownloading, QStringLiteral("Start Downloading"), &MainWindow::StartRun));
    compactMenu_->addAction(MakeAction(Command::Stop, QStringLiteral("Stop"), &MainWindow::RequestStop));
    compactMenu_->addSeparator();
    compactMenu_->addAction(MakeAction(Command::Close, QStringLiteral("Close"), &MainWindow::CloseCommand));

    struct ListEntry {
        int id;
        const char* text;
        QKeySequence keys;
        void (MainWindow::*handler)();
    };
    const ListEntry entries[] = {
        {Command::AddFromClipboard, "Add URL on Clipboard", QKeySequence(Qt::CTRL | Qt::Key_Insert),
         &MainWindow::AddFromClipboard},
        {Command::AddUrl, "Add URL...", QKeySequence(Qt::Key_Insert), &MainWindow::OpenAddUrlDialog},
        {Command::Remove, "Remove", QKeySequence(Qt::Key_Delete), &MainWindow::RemoveSelected},
        {Command::Clear, "Clear", QKeySequence(Qt::CTRL | Qt::Key_Delete), &MainWindow::ClearList},
        {Command::CopyUrl, "Copy URL to Clipboard", QKeySequence(), &MainWindow::CopyUrlToClipboard},
        {Command::ChooseFormat, "Choose Format...", QKeySequence(), &MainWindow::ChooseFormat},
        {0, nullptr, QKeySequence(), nullptr},
        {Command::Play, "Play", QKeySequence(Qt::CTRL | Qt::Key_P), &MainWindow::Play},
        {Command::Rename, "Rename", QKeySequence(Qt::Key_F2), &MainWindow::Rename},
        {Command::CopyTo, "Copy To...", QKeySequence(Qt::CTRL | Qt::Key_C), &MainWindow::CopyTo},
        {Command::WatchOnline, "Watch Online", QKeySequence(), &MainWindow::WatchOnline},
    };
    listMenu_ = new QMenu(this);
    for (const ListEntry& entry : entries) {
        if (entry.id == 0) {
            listMenu_->addSeparator();
            continue;
        }
        QAction* action = MakeAction(entry.id, QString::fromLatin1(entry.text), entry.handler);
        if (!entry.keys.isEmpty()) {
            // The accelerators work in both modes, so they belong to the window itself.
            action->setShortcut(entry.keys);
            action->setShortcutContext(Qt::WindowShortcut);
            addAction(action);
        }
        listMenu_->addAction(action);
    }

    // Shift+F10 asks for the context menu as the Menu key does; Qt leaves that to the platform,
    // and only some platforms do it.
    auto* menuKey = new QAction(this);
    menuKey->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10));
    menuKey->setShortcutContext(Qt::WindowShortcut);
    connect(menuKey, &QAction::triggered, this, &MainWindow::OpenMenuFromKeyboard);
    addAction(menuKey);
}

QAction* MainWindow::CommandAction(int commandId) const {
    const QList<QAction*> list = actions_.value(commandId);
    return list.isEmpty() ? nullptr : list.last();
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard) {
        OpenMenuFromKeyboard();
    } else {
        QWidget* child = childAt(event->pos());
        PopupMenu(MenuFor(child && (child == list_ || list_->isAncestorOf(child))), event->globalPos());
    }
    event->accept();
}

void MainWindow::OpenMenuFromKeyboard() {
    const QWidget* focus = focusWidget();
    PopupMenu(MenuFor(focus && (focus == list_ || list_->isAncestorOf(focus))), mapToGlobal(QPoint(5, 5)));
}

QMenu* MainWindow::MenuFor(bool fromList) const {
    if (compact_)
        return compactMenu_;
    return fromList ? listMenu_ : mainMenu_;
}

void MainWindow::PopupMenu(QMenu* menu, const QPoint& where) {
    UpdateCommands();
    menu->popup(where);
}

} // namespace Tarnwick
