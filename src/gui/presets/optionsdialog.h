#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace Tarnwick {

struct AppSettings;

// Which of the browser's entry points exist.
struct BrowserEntries {
    bool contextMenu = false;
    bool toolbarButton = false;
    bool toolsMenu = false;
    friend bool operator==(const BrowserEntries&, const BrowserEntries&) = default;
};

// Reads and writes the browser's entries for this program. Without one the Options dialog
// shows its browser boxes disabled and never touches browser entries.
class BrowserIntegration {
public:
    virtual ~BrowserIntegration();
    virtual BrowserEntries QueryState() = 0;
    virtual void Enable(bool extensionEnabled, const BrowserEntries& entries) = 0;
};

// "Options": overwriting without asking, the default download folder, the player program, the
// browser integration and whether downloads started from the browser begin by themselves. OK
// stores into the settings (written when the program ends); Cancel stores nothing.
class OptionsDialog : public QDialog {
    Q_OBJECT

public:
    static const char* const BrowserUnavailableTip;

    explicit OptionsDialog(AppSettings& settings, BrowserIntegration* browser = nullptr,
                           QWidget* parent = nullptr);

    void BrowseFolder();
    void BrowsePlayer();

public slots:
    void accept() override;

private:
    void CreateControls();
    void ShowBrowserState();
    void OnExtensionClicked(bool on);
    BrowserEntries CheckedEntries() const;

    AppSettings& settings_;
    BrowserIntegration* browser_;
    bool extensionAtOpening_ = false;
    BrowserEntries entriesAtOpening_;

    QCheckBox* alwaysOverwrite_ = nullptr;
    QComboBox* folder_ = nullptr;
    QLineEdit* player_ = nullptr;
    QCheckBox* extension_ = nullptr;
    QCheckBox* contextMenu_ = nullptr;
    QCheckBox* toolbarButton_ = nullptr;
    QCheckBox* toolsMenu_ = nullptr;
    QCheckBox* autoStart_ = nullptr;
};

} // namespace Tarnwick
