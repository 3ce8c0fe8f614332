// The window's controls: where they sit, what they say, and the idle and running layouts.

#include "commandids.h"
#include "joblistview.h"
#include "mainwindow.h"
#include "ui/dialogunits.h"
#include "ui/linkbutton.h"
#include "ui/programicon.h"
#include "ui/twocolumncombobox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolBar>

namespace Tarnwick {

namespace {

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

// A label or check box placed at its dialog-unit position, as wide as its text.
template <typename T>
T* PlaceByText(const DialogUnits& du, T* widget, int x, int y, int height, int extraPixels) {
    du.Place(widget, x, y, TextUnits(du, widget, widget->text(), extraPixels), height);
    return widget;
}

QPushButton* MakeButton(QWidget* parent, int id, const QString& text, const QString& tip) {
    auto* button = Named(new QPushButton(text, parent), id);
    if (!tip.isEmpty())
        button->setToolTip(tip);
    return button;
}

} // namespace

void MainWindow::CreateControls() {
    setFont(DialogFont());
    const DialogUnits du(font());
    setFixedSize(du.X(360), du.Y(240));
    CreateListArea(du);
    CreateRunArea(du);
    CreateConversionRow(du);
    CreateFolderRow(du);
    CreateBottomRow(du);
    CreateHeaderLinks(du);

    programIcon_ = Named(new QLabel(this), Control::ProgramIcon);
    programIcon_->setPixmap(ProgramIcon().pixmap(24, 24));
    programIcon_->setGeometry(0, -4, du.X(20), du.Y(20));
    programIcon_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    programIcon_->setContentsMargins(4, 4, 0, 0);
    programIcon_->hide();

    setTabOrder(list_, qualityCombo_);
}

void MainWindow::CreateListArea(const DialogUnits& du) {
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
    connect(model_, &QAbstractItemModel::rowsInserted, this, &MainWindow::OnListChanged);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, &MainWindow::OnListChanged);
    connect(model_, &QAbstractItemModel::modelReset, this, &MainWindow::OnListChanged);
    connect(model_, &QAbstractItemModel::dataChanged, this, &MainWindow::UpdateCommands);
}

void MainWindow::CreateRunArea(const DialogUnits& du) {
    qualityLabel_ = Named(new QLabel(QStringLiteral("Video Quality:"), this), Control::QualityLabel);
    PlaceByText(du, qualityLabel_, 7, 128, 8, 4);
    qualityCombo_ = Named(new QComboBox(this), Control::QualityCombo);
    du.Place(qualityCombo_, 7, 137, 346, 12);
    qualityCombo_->addItems({QStringLiteral("Download in standard quality (FLV format)"),
                             QStringLiteral("Download in high quality (FLV format)"),
                             QStringLiteral("Download in high quality (MP4 format)")});
    connect(qualityCombo_, &QComboBox::activated, this, &MainWindow::HideSummary);

    statusLine_ = Named(new QLabel(this), Control::StatusLine);
    statusLine_->setTextFormat(Qt::PlainText);
    du.Place(statusLine_, 7, 131, 291, 8);
    runStatusGeometry_ = statusLine_->geometry();
    // After a run the summary takes the place of the "Video Quality:" label.
    summaryGeometry_ = QRect(qualityLabel_->pos(), runStatusGeometry_.size());
    percentLabel_ = Named(new QLabel(this), Control::PercentLabel);
    percentLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    du.Place(percentLabel_, 303, 131, 50, 8);
    progressBar_ = Named(new QProgressBar(this), Control::ProgressBar);
    progressBar_->setRange(0, 100);
    progressBar_->setTextVisible(false);
    du.Place(progressBar_, 7, 141, 346, 6);
}

void MainWindow::CreateConversionRow(const DialogUnits& du) {
    convertCheck_ = Named(new QCheckBox(QStringLiteral("Convert to Format:"), this), Control::ConvertCheck);
    convertCheck_->setFont(BoldFont(font()));
    PlaceByText(du, convertCheck_, 7, 154, 10, 24);
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
    advancedButton_ = MakeButton(this, Control::AdvancedButton, QStringLiteral("Advanced..."),
                                 QStringLiteral("Change Format Settings"));
    du.Place(advancedButton_, 303, 165, 50, 13);
    connect(advancedButton_, &QPushButton::clicked, this, &MainWindow::ShowAdvanced);
}

void MainWindow::CreateFolderRow(const DialogUnits& du) {
    auto* folderLabel = Named(new QLabel(QStringLiteral("Save to Folder:"), this), Control::FolderLabel);
    folderLabel->setFont(BoldFont(font()));
    PlaceByText(du, folderLabel, 7, 182, 8, 4);
    folderField_ = Named(new QComboBox(this), Control::FolderField);
    folderField_->setEditable(true);
    folderField_->setInsertPolicy(QComboBox::NoInsert);
    folderField_->setAcceptDrops(true);
    folderField_->lineEdit()->setAcceptDrops(true);
    folderField_->installEventFilter(this);
    folderField_->lineEdit()->installEventFilter(this);
    du.Place(folderField_, 7, 191, 292, 12);
    browseButton_ = MakeButton(this, Control::BrowseButton, QStringLiteral("Browse..."),
                               QStringLiteral("Select Output Folder"));
    du.Place(browseButton_, 303, 191, 50, 13);
    connect(browseButton_, &QPushButton::clicked, this, &MainWindow::Browse);

    auto* separator = Named(new QFrame(this), Control::Separator);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    du.Place(separator, 7, 208, 346, 1);
    separator->setFixedHeight(2);
}

void MainWindow::CreateBottomRow(const DialogUnits& du) {
    closeWhenDoneCheck_ = Named(new QCheckBox(QStringLiteral("Close this dialog when done"), this),
                                Control::CloseWhenDoneCheck);
    PlaceByText(du, closeWhenDoneCheck_, 7, 212, 10, 24);
    keepOnTopCheck_ =
        Named(new QCheckBox(QStringLiteral("Keep this dialog on top"), this), Control::KeepOnTopCheck);
    PlaceByText(du, keepOnTopCheck_, 7, 223, 10, 24);
    connect(keepOnTopCheck_, &QCheckBox::clicked, this, [this](bool checked) {
        keepOnTop_ = checked;
        ApplyKeepOnTop();
    });

    downloadButton_ = MakeButton(this, Control::DownloadButton, QStringLiteral("Download"),
                                 QStringLiteral("Start Downloading"));
    downloadButton_->setFont(BoldFont(font()));
    downloadButton_->setDefault(true);
    du.Place(downloadButton_, 193, 219, 50, 14);
    connect(downloadButton_, &QPushButton::clicked, this, &MainWindow::StartRun);
    stopButton_ =
        MakeButton(this, Control::StopButton, QStringLiteral("Stop"), QStringLiteral("Stop Downloading"));
    du.Place(stopButton_, 193, 219, 50, 14);
    connect(stopButton_, &QPushButton::clicked, this, &MainWindow::RequestStop);
    openFolderButton_ = MakeButton(this, Control::OpenFolderButton, QStringLiteral("Open Folder"),
                                   QStringLiteral("Open Output Folder"));
    du.Place(openFolderButton_, 248, 219, 50, 14);
    connect(openFolderButton_, &QPushButton::clicked, this, &MainWindow::OpenFolder);
    closeButton_ = MakeButton(this, Control::CloseButton, QStringLiteral("Close"), QString());
    du.Place(closeButton_, 303, 219, 50, 14);
    connect(closeButton_, &QPushButton::clicked, this, &MainWindow::CloseCommand);
}

void MainWindow::CreateHeaderLinks(const DialogUnits& du) {
    optionsLink_ = Named(new LinkButton(QStringLiteral("Options"), this), Control::OptionsLink);
    presetsLink_ = Named(new LinkButton(QStringLiteral("Presets"), this), Control::PresetsLink);
    supportLink_ = Named(new LinkButton(QStringLiteral("Support"), this), Control::SupportLink);
    const int linkX[] = {253, 287, 321};
    LinkButton* links[] = {optionsLink_, presetsLink_, supportLink_};
    for (int i = 0; i < 3; ++i) {
        links[i]->setFont(UnderlinedFont(font()));
        du.Place(links[i], linkX[i], 1, 32, 10);
        links[i]->SizeToText();
    }
    connect(optionsLink_, &LinkButton::clicked, this, &MainWindow::ShowOptions);
    connect(presetsLink_, &LinkButton::clicked, this, &MainWindow::ShowPresets);
    connect(supportLink_, &LinkButton::clicked, this, &MainWindow::OpenSupport);
}

void MainWindow::ApplyConvertCheck() {
    const bool enabled = !IsRunning() && convertCheck_->isChecked();
    formatCombo_->setEnabled(enabled);
    presetCombo_->setEnabled(enabled);
    advancedButton_->setEnabled(enabled);
}

void MainWindow::SetIdleLayout() {
    folderField_->setEnabled(true);
    browseButton_->setEnabled(true);
    convertCheck_->setEnabled(true);
    ApplyConvertCheck();
    stopButton_->hide();
    downloadButton_->show();
    downloadButton_->setFocus();
    percentLabel_->hide();
    progressBar_->hide();
    qualityCombo_->show();
    HideSummary();
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
    statusLine_->setGeometry(runStatusGeometry_);
    statusLine_->show();
    percentLabel_->show();
    progressBar_->show();
    qualityLabel_->hide();
    qualityCombo_->hide();
    UpdateCommands();
}

void MainWindow::ShowSummaryInIdleLayout() {
    // The run's result stays readable after the run, until the list or the quality changes.
    statusLine_->setGeometry(summaryGeometry_);
    statusLine_->show();
    qualityLabel_->hide();
}

void MainWindow::HideSummary() {
    if (IsRunning())
        return;
    statusLine_->hide();
    qualityLabel_->show();
}

} // namespace Tarnwick
