#include "mainwindow.h"

#include "app/appsettings.h"
#include "commandids.h"
#include "conversion/preset.h"
#include "joblistview.h"
#include "ui/dialogunits.h"
#include "ui/linkbutton.h"
#include "ui/programicon.h"
#include "ui/twocolumncombobox.h"
#include "ui/vendor.h"
#include "windowruncontext.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <utility>

namespace Tarnwick {

namespace {

// Height of the white header band behind the link buttons, in pixels.
constexpr int HeaderBandHeight = 24;
// Client size of the compact window, in pixels.
constexpr QSize CompactClientSize(32, 24);

// The window's fonts: the dialog font and what is derived from it.
QFont DialogFont() {
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    return font;
}

QFont BoldFont(const QFont& base) {
    QFont font = base;
    font.setBold(true);
    return font;
}

QFont UnderlinedFont(const QFont& base) {
    QFont font = base;
    font.setUnderline(true);
    return font;
}

template <typename T>
T* Named(T* widget, int id) {
    widget->setObjectName(IdName(id));
    return widget;
}

// A check box or label as wide as its text needs.
int TextUnits(const DialogUnits& units, const QWidget* widget, const QString& text, int extraPixels) {
    const int pixels = widget->fontMetrics().horizontalAdvance(text) + extraPixels;
    return (pixels * 4 + units.AverageCharWidth() - 1) / units.AverageCharWidth();
}

} // namespace

MainWindow::MainWindow(AppSettings& settings, ConversionEngine* engine, Catalog* catalog,
                       JobProcedure procedure, QWidget* parent)
    : QDialog(parent)
    , settings_(settings)
    , engine_(engine)
    , catalog_(catalog)
    , procedure_(std::move(procedure)) {
    setObjectName(IdName(128));
    setFont(DialogFont());
    setAcceptDrops(true);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(ProgramIcon());
    setWindowTitle(ProductTitle);

    // A stored AutoClose lets a run started from the command line end the program by itself.
    closeWhenDone_ = settings_.autoClose;
    convert_ = settings_.convert;
    saveFolder_ = settings_.defaultFolder;
    keepOnTop_ = settings_.keepOnTop;
    qualityIndex_ = settings_.quality;

    CreateControls();
    CreateCommands();
    CreateMenus();
    PushFieldsToControls();
    FillFolderField();
    FillFormatCombo();
    SetIdleLayout();
    ApplyKeepOnTop();
    UpdateHeader();

    displayTimer_ = new QTimer(this);
    // About thirty repaints a second, however fast the transfer reports.
    displayTimer_->setInterval(33);
    connect(displayTimer_, &QTimer::timeout, this, &MainWindow::ApplyDisplay);

    // A stored compact mode starts the window small; the full rectangle is its own layout.
    if (settings_.iconic)
        QTimer::singleShot(0, this, [this] { SetCompact(true); });
}

MainWindow::~MainWindow() {
    if (thread_) {
        // Never leave the worker behind: it calls into this window until it ends. Its end is
        // awaited here, so the end-of-run handling (which returns without a thread) must not
        // take it over while events are processed.
        run_.stopRequest = static_cast<int>(StopRequest::StopAndClose);
        QThread* thread = std::exchange(thread_, nullptr);
        disconnect(thread, nullptr, this, nullptr);
        while (!thread->wait(10))
            QCoreApplication::processEvents();
        delete thread;
    }
    WriteSettings();
}

void MainWindow::CreateControls() {
    const DialogUnits du(font());
    setFixedSize(du.X(360), du.Y(240));
    const QFont bold = BoldFont(font());
    const QFont underlined = UnderlinedFont(font());

    toolbar_ = Named(new QToolBar(this), Control::Toolbar);
    toolbar_->setIconSize(QSize(16, 15));
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setStyleSheet(QStringLiteral("QToolBar { border: none; padding: 0px; spacing: 1px; }"));
    du.Place(toolbar_, 7, 18, 346, 13);
    // The toolbar's buttons are taller than the template's placeholder; keep its top and grow.
    toolbar_->setFixedHeight(std::max(du.Y(13), 22));

    model_ = new JobTableModel(this);
    list_ = new JobListView(this);
    list_->setModel(model_);
    const int listTop = toolbar_->geometry().bottom() + 2;
    list_->setGeometry(du.X(7), listTop, du.X(346), du.Y(125) - listTop);
    list_->setContextMenuPolicy(Qt::DefaultContextMenu);
    connect(list_, &JobListView::doubleClickedList, this, &MainWindow::OnListDoubleClicked);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::UpdateCommands);
    connect(model_, &JobListModel::renameRefused, this, &MainWindow::OnRenameRefused);
    connect(model_, &QAbstractItemModel::rowsInserted, this, &MainWindow::UpdateHeader);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, &MainWindow::UpdateHeader);
    connect(model_, &QAbstractItemModel::modelReset, this, &MainWindow::UpdateHeader);
    connect(model_, &QAbstractItemModel::dataChanged, this, &MainWindow::UpdateCommands);

    qualityLabel_ = Named(new QLabel(QStringLiteral("Video Quality:"), this), Control::QualityLabel);
    du.Place(qualityLabel_, 7, 128, TextUnits(du, qualityLabel_, qualityLabel_->text(), 4), 8);
    qualityCombo_ = Named(new QComboBox(this), Control::QualityCombo);
    du.Place(qualityCombo_, 7, 137, 346, 12);
    FillQualityCombo();

    statusLine_ = Named(new QLabel(this), Control::StatusLine);
    statusLine_->setTextFormat(Qt::PlainText);
    du.Place(statusLine_, 7, 131, 291, 8);
    percentLabel_ = Named(new QLabel(this), Control::PercentLabel);
    percentLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    du.Place(percentLabel_, 303, 131, 50, 8);
    progressBar_ = Named(new QProgressBar(this), Control::ProgressBar);
    progressBar_->setRange(0, 100);
    progressBar_->setTextVisible(false);
    du.Place(progressBar_, 7, 141, 346, 6);

    convertCheck_ = Named(new QCheckBox(QStringLiteral("Convert to Format:"), this), Control::ConvertCheck);
    convertCheck_->setFont(bold);
    du.Place(convertCheck_, 7, 154, TextUnits(du, convertCheck_, convertCheck_->text(), 24), 10);
    convertCheck_->setToolTip(QStringLiteral("Convert to Specified Format"));
    connect(convertCheck_, &QCheckBox::clicked, this, [this](bool checked) {
        convert_ = checked;
        ApplyConvertCheck();
    });

    formatCombo_ =
        Named(new TwoColumnComboBox(TwoColumnItemDelegate::Kind::FormatList, this), Control::FormatCombo);
    formatCombo_->SetColumnOffset(124);
    du.Place(formatCombo_, 7, 165, 120, 12);
    formatCombo_->setToolTip(QStringLiteral("Select Output Format"));
    connect(formatCombo_, &QComboBox::currentIndexChanged, this, &MainWindow::OnFormatChanged);
    presetCombo_ =
        Named(new TwoColumnComboBox(TwoColumnItemDelegate::Kind::PresetList, this), Control::PresetCombo);
    presetCombo_->SetColumnOffset(170);
    du.Place(presetCombo_, 131, 165, 168, 12);
    presetCombo_->setToolTip(QStringLiteral("Select Format Settings Preset"));
    advancedButton_ = Named(new QPushButton(QStringLiteral("Advanced..."), this), Control::AdvancedButton);
    du.Place(advancedButton_, 303, 165, 50, 13);
    advancedButton_->setToolTip(QStringLiteral("Change Format Settings"));
    connect(advancedButton_, &QPushButton::clicked, this, &MainWindow::ShowAdvanced);

    auto* folderLabel = Named(new QLabel(QStringLiteral("Save to Folder:"), this), Control::FolderLabel);
    folderLabel->setFont(bold);
    du.Place(folderLabel, 7, 182, TextUnits(du, folderLabel, folderLabel->text(), 4), 8);
    folderField_ = Named(new QComboBox(this), Control::FolderField);
    folderField_->setEditable(true);
    folderField_->setInsertPolicy(QComboBox::NoInsert);
    folderField_->setAcceptDrops(true);
    folderField_->lineEdit()->setAcceptDrops(true);
    folderField_->installEventFilter(this);
    folderField_->lineEdit()->installEventFilter(this);
    du.Place(folderField_, 7, 191, 292, 12);
    browseButton_ = Named(new QPushButton(QStringLiteral("Browse..."), this), Control::BrowseButton);
    du.Place(browseButton_, 303, 191, 50, 13);
    browseButton_->setToolTip(QStringLiteral("Select Output Folder"));
    connect(browseButton_, &QPushButton::clicked, this, &MainWindow::Browse);

    auto* separator = Named(new QFrame(this), Control::Separator);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    du.Place(separator, 7, 208, 346, 1);
    separator->setFixedHeight(2);

    closeWhenDoneCheck_ = Named(new QCheckBox(QStringLiteral("Close this dialog when done"), this),
                                Control::CloseWhenDoneCheck);
    du.Place(closeWhenDoneCheck_, 7, 212, TextUnits(du, closeWhenDoneCheck_, closeWhenDoneCheck_->text(), 24),
             10);
    keepOnTopCheck_ =
        Named(new QCheckBox(QStringLiteral("Keep this dialog on top"), this), Control::KeepOnTopCheck);
    du.Place(keepOnTopCheck_, 7, 223, TextUnits(du, keepOnTopCheck_, keepOnTopCheck_->text(), 24), 10);
    connect(keepOnTopCheck_, &QCheckBox::clicked, this, [this](bool checked) {
        keepOnTop_ = checked;
        ApplyKeepOnTop();
    });

    downloadButton_ = Named(new QPushButton(QStringLiteral("Download"), this), Control::DownloadButton);
    downloadButton_->setFont(bold);
    downloadButton_->setDefault(true);
    downloadButton_->setToolTip(QStringLiteral("Start Downloading"));
    du.Place(downloadButton_, 193, 219, 50, 14);
    connect(downloadButton_, &QPushButton::clicked, this, &MainWindow::StartRun);
    stopButton_ = Named(new QPushButton(QStringLiteral("Stop"), this), Control::StopButton);
    stopButton_->setToolTip(QStringLiteral("Stop Downloading"));
    du.Place(stopButton_, 193, 219, 50, 14);
    connect(stopButton_, &QPushButton::clicked, this, &MainWindow::RequestStop);
    openFolderButton_ =
        Named(new QPushButton(QStringLiteral("Open Folder"), this), Control::OpenFolderButton);
    openFolderButton_->setToolTip(QStringLiteral("Open Output Folder"));
    du.Place(openFolderButton_, 248, 219, 50, 14);
    connect(openFolderButton_, &QPushButton::clicked, this, &MainWindow::OpenFolder);
    closeButton_ = Named(new QPushButton(QStringLiteral("Close"), this), Control::CloseButton);
    du.Place(closeButton_, 303, 219, 50, 14);
    connect(closeButton_, &QPushButton::clicked, this, &MainWindow::CloseCommand);

    optionsLink_ = Named(new LinkButton(QStringLiteral("Options"), this), Control::OptionsLink);
    presetsLink_ = Named(new LinkButton(QStringLiteral("Presets"), this), Control::PresetsLink);
    supportLink_ = Named(new LinkButton(QStringLiteral("Support"), this), Control::SupportLink);
    const int linkX[] = {253, 287, 321};
    LinkButton* links[] = {optionsLink_, presetsLink_, supportLink_};
    for (int i = 0; i < 3; ++i) {
        links[i]->setFont(underlined);
        du.Place(links[i], linkX[i], 1, 32, 10);
        links[i]->SizeToText();
    }
    connect(optionsLink_, &LinkButton::clicked, this, &MainWindow::ShowOptions);
    connect(presetsLink_, &LinkButton::clicked, this, &MainWindow::ShowPresets);
    connect(supportLink_, &LinkButton::clicked, this, &MainWindow::OpenSupport);

    programIcon_ = Named(new QLabel(this), Control::ProgramIcon);
    programIcon_->setPixmap(ProgramIcon().pixmap(24, 24));
    programIcon_->setGeometry(0, -4, du.X(20), du.Y(20));
    programIcon_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    programIcon_->setContentsMargins(4, 4, 0, 0);
    programIcon_->hide();

    setTabOrder(list_, qualityCombo_);
}

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
}

QAction* MainWindow::CommandAction(int commandId) const {
    const QList<QAction*> list = actions_.value(commandId);
    return list.isEmpty() ? nullptr : list.last();
}

void MainWindow::FillQualityCombo() {
    qualityCombo_->addItems({QStringLiteral("Download in standard quality (FLV format)"),
                             QStringLiteral("Download in high quality (FLV format)"),
                             QStringLiteral("Download in high quality (MP4 format)")});
}

void MainWindow::RefillFolderList() {
    const QString text = folderField_->currentText();
    folderField_->clear();
    const QIcon folderIcon = QFileIconProvider().icon(QFileIconProvider::Folder);
    for (const QString& folder : settings_.recentFolderList.Entries())
        folderField_->addItem(folderIcon, folder);
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

void MainWindow::PushFieldsToControls() {
    closeWhenDoneCheck_->setChecked(closeWhenDone_);
    convertCheck_->setChecked(convert_);
    keepOnTopCheck_->setChecked(keepOnTop_);
    qualityCombo_->setCurrentIndex(std::clamp(qualityIndex_, 0, qualityCombo_->count() - 1));
}

void MainWindow::TakeControlValues() {
    closeWhenDone_ = closeWhenDoneCheck_->isChecked();
    convert_ = convertCheck_->isChecked();
    saveFolder_ = folderField_->currentText();
    keepOnTop_ = keepOnTopCheck_->isChecked();
    formatIndex_ = formatCombo_->currentIndex();
    presetIndex_ = presetCombo_->currentIndex();
    qualityIndex_ = qualityCombo_->currentIndex();
}

void MainWindow::WriteSettings() {
    settings_.recentFormat = formatIndex_;
    settings_.recentPreset = presetIndex_;
    settings_.convert = convert_;
    settings_.keepOnTop = keepOnTop_;
    settings_.autoClose = closeWhenDone_;
    settings_.quality = qualityIndex_;
}

void MainWindow::ApplyConvertCheck() {
    const bool enabled = !IsRunning() && convertCheck_->isChecked();
    formatCombo_->setEnabled(enabled);
    presetCombo_->setEnabled(enabled);
    advancedButton_->setEnabled(enabled);
}

void MainWindow::ApplyKeepOnTop() {
    if (compact_)
        return; // the compact window is always on top
    const bool wasVisible = isVisible();
    const QRect geometry = this->geometry();
    setWindowFlag(Qt::WindowStaysOnTopHint, keepOnTop_);
    if (wasVisible) {
        setGeometry(geometry);
        show();
    }
}

void MainWindow::SetIdleLayout() {
    folderField_->setEnabled(true);
    browseButton_->setEnabled(true);
    convertCheck_->setEnabled(true);
    ApplyConvertCheck();
    stopButton_->hide();
    downloadButton_->show();
    downloadButton_->setFocus();
    statusLine_->hide();
    percentLabel_->hide();
    progressBar_->hide();
    qualityLabel_->show();
    qualityCombo_->show();
    UpdateCommands();
}

void MainWindow::SetRunningLayout() {
    folderField_->setEnabled(false);
    browseButton_->setEnabled(false);
    convertCheck_->setEnabled(false);
    formatCombo_->setEnabled(false);
    presetCombo_->setEnabled(false);
    advancedButton_->setEnabled(false);
    downloadButton_->hide();
    stopButton_->show();
    stopButton_->setFocus();
    statusLine_->show();
    percentLabel_->show();
    progressBar_->show();
    qualityLabel_->hide();
    qualityCombo_->hide();
    UpdateCommands();
}

void MainWindow::UpdateCommands() {
    if (!list_ || actions_.isEmpty())
        return;
    const QList<int> selected = list_->SelectedRows();
    const bool anySelected = !selected.isEmpty();
    const bool jobInProgress = run_.currentIndex.load() != -1;
    const bool listEmpty = model_->rowCount() == 0;
    const bool firstSucceeded = anySelected && model_->Job(selected.first()).state == JobState::Succeeded;

    auto enable = [this](int id, bool enabled) {
        for (QAction* action : actions_.value(id))
            action->setEnabled(enabled);
    };
    enable(Command::Remove, anySelected && !jobInProgress);
    enable(Command::Clear, !listEmpty && !jobInProgress);
    enable(Command::StartDownloading, !listEmpty && !jobInProgress);
    enable(Command::Stop, jobInProgress);
    enable(Command::CopyUrl, anySelected);
    enable(Command::WatchOnline, anySelected);
    enable(Command::Play, firstSucceeded);
    enable(Command::Rename, firstSucceeded);
    enable(Command::CopyTo, firstSucceeded);
}

void MainWindow::UpdateHeader() {
    const int count = model_->rowCount();
    run_.itemCount = count;
    SetCompactTip(QStringLiteral("URL (%1)").arg(count));
    list_->UpdateHint();
    UpdateCommands();
}

void MainWindow::SetCompactTip(const QString& text) {
    programIcon_->setToolTip(text);
}

QString MainWindow::CompactTip() const {
    return programIcon_->toolTip();
}

QString MainWindow::FolderText() const {
    return folderField_->currentText();
}

void MainWindow::SetFolderText(const QString& folder) {
    folderField_->setEditText(folder);
}

QString MainWindow::StatusText() const {
    return statusLine_->text();
}

void MainWindow::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (isMinimized()) {
        const QPixmap icon = windowIcon().pixmap(32, 32);
        painter.drawPixmap(rect().center() - icon.rect().center(), icon);
        return;
    }
    painter.fillRect(QRect(0, 0, width(), HeaderBandHeight), Qt::white);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(0, HeaderBandHeight - 1, width(), HeaderBandHeight - 1);
}

void MainWindow::SetCompact(bool compact) {
    if (compact == compact_)
        return;
    const bool wasVisible = isVisible();
    if (compact) {
        fullRect_ = geometry();
        setWindowFlag(Qt::FramelessWindowHint, true);
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
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
        setWindowFlag(Qt::FramelessWindowHint, false);
        setWindowFlag(Qt::WindowStaysOnTopHint, keepOnTop_);
        setFixedSize(fullRect_.size());
        setGeometry(fullRect_);
        optionsLink_->show();
        toolbar_->show();
        list_->show();
        programIcon_->hide();
    }
    compact_ = compact;
    if (wasVisible)
        show();
}

void MainWindow::Restore() {
    SetCompact(false);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    const QPoint where =
        event->reason() == QContextMenuEvent::Keyboard ? mapToGlobal(QPoint(5, 5)) : event->globalPos();
    QMenu* menu = mainMenu_;
    if (compact_) {
        menu = compactMenu_;
    } else {
        QWidget* child = childAt(event->pos());
        if (child && (child == list_ || list_->isAncestorOf(child)))
            menu = listMenu_;
    }
    UpdateCommands();
    menu->popup(where);
    event->accept();
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

} // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!OffersText(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(event->modifiers() & Qt::ControlModifier ? Qt::CopyAction : Qt::MoveAction);
    event->accept();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (!OffersText(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(event->modifiers() & Qt::ControlModifier ? Qt::CopyAction : Qt::MoveAction);
    event->accept();
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

void MainWindow::closeEvent(QCloseEvent* event) {
    if (IsRunning()) {
        // The window stays until the worker has ended; then the run's end closes it.
        run_.stopRequest = static_cast<int>(StopRequest::StopAndClose);
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void MainWindow::accept() {
    CloseCommand();
}

void MainWindow::reject() {
    if (IsRunning()) {
        run_.stopRequest = static_cast<int>(StopRequest::StopAndClose);
        return;
    }
    QDialog::reject();
}

void MainWindow::done(int result) {
    // Every way of closing keeps what the user set in the check boxes and lists.
    TakeControlValues();
    WriteSettings();
    QDialog::done(result);
}

void MainWindow::CloseCommand() {
    if (IsRunning()) {
        run_.stopRequest = static_cast<int>(StopRequest::StopAndClose);
        return;
    }
    TakeControlValues();
    QDialog::done(QDialog::Accepted);
}

} // namespace Tarnwick
