#include "optionsdialog.h"

#include "app/appsettings.h"
#include "browser/entrypoints.h"
#include "browser/extensionregistrar.h"
#include "dialogsupport.h"
#include "downloadsgroup.h"
#include "ui/dialogunits.h"
#include "ui/executablefilter.h"
#include "ui/foldericon.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>

namespace Tarnwick {

namespace {

// Internet Explorer exists only on Windows; elsewhere the extension lives in the web browser.
#ifdef Q_OS_WIN
const char* const ExtensionGroupText = "Internet Explorer Extension";
const char* const EnableExtensionText = "&Enable Internet Explorer extension";
const char* const AutoStartText = "Be&gin downloading automatically when starting from Internet Explorer";
#else
const char* const ExtensionGroupText = "Web Browser Extension";
const char* const EnableExtensionText = "&Enable web browser extension";
const char* const AutoStartText = "Be&gin downloading automatically when starting from the web browser";
#endif

} // namespace

const char* const OptionsDialog::BrowserUnavailableTip =
    "Browser integration is not available in this build.";
const char* const OptionsDialog::SendCookiesText = "Se&nd the site's cookies with the page";
const char* const OptionsDialog::SendCookiesTip =
    "The browser hands Tarnwick the cookies it holds for the page's site, so that videos shown only "
    "to signed-in visitors download. Tarnwick keeps them in memory for that download alone.";
const char* const OptionsDialog::ToolsMenuTip =
    "Only Firefox has a Tools menu for extensions; other browsers do not show this item.";

QStringList OptionsDialog::StoredKeys() {
    return {QStringLiteral("Settings/DefaultFolder"),     QStringLiteral("Settings/AutoStart"),
            QStringLiteral("Settings/AlwaysOverwrite"),   QStringLiteral("Settings/Player"),
            QStringLiteral("Settings/DownloadsAtOnce"),   QStringLiteral("Settings/DownloadsPerSite"),
            QStringLiteral("Settings/SpeedLimit"),        QStringLiteral("Settings/Proxy"),
            QStringLiteral("Settings/LargestPicture"),    QStringLiteral("Settings/PreferredCodec"),
            QStringLiteral("Settings/EmbedMetadata"),     QStringLiteral("Settings/SubtitleLanguages"),
            QStringLiteral("Settings/AutomaticCaptions"), QStringLiteral("Settings/EmbedSubtitles")};
}

OptionsDialog::OptionsDialog(AppSettings& settings, ExtensionRegistrar* registrar, QWidget* parent)
    : QDialog(parent)
    , settings_(settings)
    , registrar_(registrar) {
    setObjectName(QStringLiteral("id203"));
    setWindowTitle(QStringLiteral("Options"));
    setFont(SettingsDialogFont());
    CreateControls();

    alwaysOverwrite_->setChecked(settings_.alwaysOverwrite);
    autoStart_->setChecked(settings_.autoStart);
    player_->setText(settings_.player);
    for (const QString& folder : settings_.recentFolderList.Entries())
        folder_->addItem(FolderIcon(), folder);
    // Adding entries selects the first; the field shows the stored folder, even an empty one.
    folder_->setEditText(settings_.defaultFolder);
    downloads_->Show(settings_);
    ShowBrowserState();
}

void OptionsDialog::CreateControls() {
    const DialogUnits du(font());
    // The network group sits below the browser group; the buttons move down by its height.
    const int below = DownloadsGroup::Height() + 5;
    setFixedSize(du.X(300), du.Y(180 + below));

    alwaysOverwrite_ =
        WithId(new QCheckBox(QStringLiteral("Always overwrite existing files (No prompt)"), this), 1048);
    PlaceFitted(du, alwaysOverwrite_, 7, 7, 153, 10);

    auto* folderLabel = new QLabel(QStringLiteral("&Default folder to save download:"), this);
    PlaceFitted(du, folderLabel, 7, 24, 106, 8);
    folder_ = WithId(new QComboBox(this), 1010);
    folder_->setEditable(true);
    folder_->setInsertPolicy(QComboBox::NoInsert);
    du.Place(folder_, 7, 33, 232, 12);
    folderLabel->setBuddy(folder_);
    auto* browseFolder = WithId(new QPushButton(QStringLiteral("Browse..."), this), 1045);
    du.Place(browseFolder, 243, 33, 50, 14);
    browseFolder->setAutoDefault(false);
    connect(browseFolder, &QPushButton::clicked, this, &OptionsDialog::BrowseFolder);

    auto* playerLabel = new QLabel(QStringLiteral("&Program to play video:"), this);
    PlaceFitted(du, playerLabel, 7, 51, 74, 8);
    player_ = WithId(new QLineEdit(this), 1042);
    du.Place(player_, 7, 60, 232, 14);
    playerLabel->setBuddy(player_);
    auto* browsePlayer = WithId(new QPushButton(QStringLiteral("Browse..."), this), 1044);
    du.Place(browsePlayer, 243, 60, 50, 14);
    browsePlayer->setAutoDefault(false);
    connect(browsePlayer, &QPushButton::clicked, this, &OptionsDialog::BrowsePlayer);

    auto* group = new QGroupBox(QString::fromLatin1(ExtensionGroupText), this);
    du.Place(group, 7, 79, 286, 75);
    auto check = [&](int id, const QString& text, int x, int y, int width) {
        auto* box = WithId(new QCheckBox(text, this), id);
        PlaceFitted(du, box, x, y, width, 10);
        return box;
    };
    extension_ = check(1029, QString::fromLatin1(EnableExtensionText), 16, 91, 128);
    contextMenu_ = check(1031, QStringLiteral("&Context menu items"), 28, 103, 80);
    toolbarButton_ = check(1018, QStringLiteral("&Toolbar button"), 28, 114, 63);
    toolsMenu_ = check(1034, QStringLiteral("Tools &menu item"), 28, 125, 67);
    sendCookies_ = check(1133, QString::fromLatin1(SendCookiesText), 130, 103, 155);
    sendCookies_->setToolTip(QString::fromLatin1(SendCookiesTip));
    autoStart_ = check(1035, QString::fromLatin1(AutoStartText), 16, 138, 239);
#ifndef Q_OS_WIN
    toolsMenu_->setToolTip(QString::fromLatin1(ToolsMenuTip));
#endif
    connect(extension_, &QCheckBox::clicked, this, &OptionsDialog::OnExtensionClicked);

    downloads_ = new DownloadsGroup(du, 159, this);

    auto* ok = WithId(new QPushButton(QStringLiteral("OK"), this), 1);
    du.Place(ok, 188, 159 + below, 50, 14);
    ok->setDefault(true);
    auto* cancel = WithId(new QPushButton(QStringLiteral("Cancel"), this), 2);
    du.Place(cancel, 243, 159 + below, 50, 14);
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void OptionsDialog::ShowBrowserState() {
    if (registrar_ == nullptr) {
        for (QCheckBox* box : {extension_, contextMenu_, toolbarButton_, toolsMenu_, sendCookies_}) {
            box->setChecked(false);
            box->setEnabled(false);
            box->setToolTip(QString::fromLatin1(BrowserUnavailableTip));
        }
        return;
    }
    EntryPoints& found = entriesAtOpening_;
    extensionAtOpening_ =
        registrar_->QueryState(found.contextMenu, found.toolbarButton, found.toolsMenu) != 0;
    extension_->setChecked(extensionAtOpening_);
    contextMenu_->setChecked(entriesAtOpening_.contextMenu);
    toolbarButton_->setChecked(entriesAtOpening_.toolbarButton);
    toolsMenu_->setChecked(entriesAtOpening_.toolsMenu);
    sendCookiesAtOpening_ = QuilletState::SendsCookies();
    sendCookies_->setChecked(sendCookiesAtOpening_);
    for (QCheckBox* box : {contextMenu_, toolbarButton_, toolsMenu_, sendCookies_})
        box->setEnabled(extensionAtOpening_);
}

void OptionsDialog::OnExtensionClicked(bool on) {
    // Switching off keeps the ticks, so switching on again can show what was chosen; switching
    // on offers every entry point.
    for (QCheckBox* box : {contextMenu_, toolbarButton_, toolsMenu_}) {
        box->setEnabled(on);
        if (on)
            box->setChecked(true);
    }
    // The cookies are the user's to send: switching the extension on does not send them.
    sendCookies_->setEnabled(on);
}

EntryPoints OptionsDialog::CheckedEntries() const {
    return {contextMenu_->isChecked(), toolbarButton_->isChecked(), toolsMenu_->isChecked()};
}

void OptionsDialog::BrowseFolder() {
    QString start = folder_->currentText();
    if (start.isEmpty()) {
        start = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
        QDir().mkpath(start);
    }
    QFileDialog dialog(this, QStringLiteral("Select a default folder to save download"), start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    folder_->setEditText(QDir::toNativeSeparators(dialog.selectedFiles().first()));
}

void OptionsDialog::BrowsePlayer() {
    QFileDialog dialog(this, QStringLiteral("Open"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const QString current = player_->text();
    if (!current.isEmpty())
        dialog.selectFile(current);
    UseExecutableFilters(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    // With several files chosen, the first one is the program.
    player_->setText(QDir::toNativeSeparators(dialog.selectedFiles().first()));
}

void OptionsDialog::accept() {
    const QString unusable = downloads_->Unusable();
    if (!unusable.isEmpty()) {
        // Nothing is stored: the user mends the value or clears it.
        QMessageBox::warning(this, windowTitle(), unusable);
        if (unusable == QLatin1String(DownloadsGroup::UnusableProxyText))
            downloads_->ProxyAddress()->setFocus();
        else
            downloads_->CookiesFromBrowserBox()->setFocus();
        return;
    }
    downloads_->Store(settings_);
    settings_.alwaysOverwrite = alwaysOverwrite_->isChecked();
    settings_.defaultFolder = folder_->currentText();
    settings_.autoStart = autoStart_->isChecked();
    settings_.player = player_->text();
    if (registrar_ != nullptr) {
        const EntryPoints entries = CheckedEntries();
        // A failure is not shown: the next opening shows what is really in place.
        if (extension_->isChecked() != extensionAtOpening_ || entries != entriesAtOpening_)
            registrar_->Enable(extension_->isChecked(), entries.contextMenu, entries.toolbarButton,
                               entries.toolsMenu);
        else if (extension_->isChecked() && entries.Any())
            // Unchanged ticks still put back manifests that went missing or name an old place.
            registrar_->RepairHostManifests();
        if (sendCookies_->isChecked() != sendCookiesAtOpening_)
            QuilletState::SetSendCookies(sendCookies_->isChecked());
    }
    QDialog::accept();
}

} // namespace Tarnwick
