#pragma once

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace Tarnwick {

struct AppSettings;
class DialogUnits;

// The Options group for how a run downloads: how many at once, how many from one site, one
// speed limit for all of them, the proxy, the largest picture and the codec preferred, and the
// subtitles, and where every job's cookies come from.
// The proxy's password has a field of its own that never shows it.
class DownloadsGroup : public QGroupBox {
    Q_OBJECT

public:
    static const char* const UnusableProxyText;

    // Lays the group out at y (dialog units) across the Options dialog's width.
    DownloadsGroup(const DialogUnits& units, int y, QWidget* parent);

    // The group's height in dialog units.
    static int Height();

    void Show(const AppSettings& settings);
    // The proxy the fields make up; empty for none.
    QString Proxy() const;
    // Why the fields hold values the settings cannot take (a proxy or a browser that cannot be
    // used), or empty; such values are not stored, so that no run fails on them later.
    QString Unusable() const;
    void Store(AppSettings& settings) const;

    QSpinBox* AtOnce() const { return atOnce_; }
    QSpinBox* PerSite() const { return perSite_; }
    QSpinBox* SpeedLimit() const { return speedLimit_; }
    QLineEdit* ProxyAddress() const { return proxy_; }
    QLineEdit* ProxyPasswordField() const { return password_; }
    QComboBox* LargestPictureBox() const { return largestPicture_; }
    QComboBox* PreferredCodecBox() const { return preferredCodec_; }
    QCheckBox* EmbedMetadataBox() const { return embedMetadata_; }
    QLineEdit* SubtitleLanguagesField() const { return subtitleLanguages_; }
    QCheckBox* AutomaticCaptionsBox() const { return automaticCaptions_; }
    QCheckBox* EmbedSubtitlesBox() const { return embedSubtitles_; }
    QLineEdit* CookiesFileField() const { return cookiesFile_; }
    QComboBox* CookiesFromBrowserBox() const { return cookiesFromBrowser_; }

private:
    QSpinBox* atOnce_ = nullptr;
    QSpinBox* perSite_ = nullptr;
    QSpinBox* speedLimit_ = nullptr;
    QLineEdit* proxy_ = nullptr;
    QLineEdit* password_ = nullptr;
    QComboBox* largestPicture_ = nullptr;
    QComboBox* preferredCodec_ = nullptr;
    QCheckBox* embedMetadata_ = nullptr;
    QLineEdit* subtitleLanguages_ = nullptr;
    QCheckBox* automaticCaptions_ = nullptr;
    QCheckBox* embedSubtitles_ = nullptr;
    QLineEdit* cookiesFile_ = nullptr;
    QComboBox* cookiesFromBrowser_ = nullptr;
    // The stored text, so that unchanged fields store it as it was, not as a URL would spell it.
    QString shownProxy_;
    QString storedProxy_;
};

} // namespace Tarnwick
