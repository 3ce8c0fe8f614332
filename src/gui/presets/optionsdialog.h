#pragma once

#include "browser/entrypoints.h"

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace Tarnwick {

struct AppSettings;
class DownloadsGroup;
class ExtensionRegistrar;

// "Options": overwriting without asking, the default download folder, the player program, the
// browser integration, whether downloads started from the browser begin by themselves, and how
// a run uses the network (downloads at once, per site, speed limit, proxy). OK
// stores into the settings (written when the program ends) and hands a changed browser choice to
// the registrar at once; Cancel stores nothing. Without a registrar the browser boxes are
// disabled and no browser entry is touched.
class OptionsDialog : public QDialog {
    Q_OBJECT

public:
    static const char* const BrowserUnavailableTip;

    static const char* const ToolsMenuTip;
    static const char* const SendCookiesText;
    static const char* const SendCookiesTip;

    // The stored settings the dialog shows and changes.
    static QStringList StoredKeys();

    explicit OptionsDialog(AppSettings& settings, ExtensionRegistrar* registrar = nullptr,
                           QWidget* parent = nullptr);

    void BrowseFolder();
    void BrowsePlayer();

public slots:
    void accept() override;

private:
    void CreateControls();
    void ShowBrowserState();
    void OnExtensionClicked(bool on);
    EntryPoints CheckedEntries() const;

    AppSettings& settings_;
    ExtensionRegistrar* registrar_;
    bool extensionAtOpening_ = false;
    EntryPoints entriesAtOpening_;

    QCheckBox* alwaysOverwrite_ = nullptr;
    QComboBox* folder_ = nullptr;
    QLineEdit* player_ = nullptr;
    QCheckBox* extension_ = nullptr;
    QCheckBox* contextMenu_ = nullptr;
    QCheckBox* toolbarButton_ = nullptr;
    QCheckBox* toolsMenu_ = nullptr;
    QCheckBox* sendCookies_ = nullptr; // Quillet's "SendCookies"
    bool sendCookiesAtOpening_ = false;
    QCheckBox* autoStart_ = nullptr;
    DownloadsGroup* downloads_ = nullptr;
};

} // namespace Tarnwick
