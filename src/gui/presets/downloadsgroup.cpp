#include "downloadsgroup.h"

#include "app/appsettings.h"
#include "dialogsupport.h"
#include "retrieval/sources/picturechoice.h"
#include "retrieval/transfer/jobcookies.h"
#include "retrieval/transfer/transfernetwork.h"
#include "ui/dialogunits.h"
#include "ui/picturelimitbox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace Tarnwick {

const char* const DownloadsGroup::UnusableProxyText =
    "The proxy must be an http, https, socks5 or socks5h address with a host and a port, such as "
    "http://proxy.example:3128. A password needs a user name before it: http://user@host:3128.";

namespace {

QSpinBox* NewSpinBox(QWidget* parent, int id, int lowest, int highest) {
    auto* box = WithId(new QSpinBox(parent), id);
    box->setRange(lowest, highest);
    return box;
}

} // namespace

DownloadsGroup::DownloadsGroup(const DialogUnits& du, int y, QWidget* parent)
    : QGroupBox(QStringLiteral("Downloads"), parent) {
    du.Place(this, 7, y, 286, Height());
    // The controls are children of the dialog, as the others are, so that dialog units place
    // them all alike.
    auto label = [&](const char* text, int x, int row, int width, QWidget* buddy) {
        auto* shown = new QLabel(QString::fromUtf8(text), parent);
        PlaceFitted(du, shown, x, y + row + 2, width, 8);
        shown->setBuddy(buddy);
    };

    atOnce_ = NewSpinBox(parent, 1120, 1, 8);
    du.Place(atOnce_, 90, y + 11, 30, 12);
    label("Downloads at &once:", 16, 11, 70, atOnce_);
    perSite_ = NewSpinBox(parent, 1121, 1, 8);
    du.Place(perSite_, 254, y + 11, 30, 12);
    label("At most from one &site:", 160, 11, 90, perSite_);
    perSite_->setToolTip(
        QStringLiteral("Many sites slow down or block an address that opens too many connections at once."));

    speedLimit_ = NewSpinBox(parent, 1122, 0, 1 << 21);
    speedLimit_->setSpecialValueText(QStringLiteral("None"));
    speedLimit_->setSuffix(QStringLiteral(" KiB/s"));
    speedLimit_->setToolTip(QStringLiteral("Shared by all downloads in progress; 0 for none."));
    du.Place(speedLimit_, 90, y + 26, 70, 12);
    label("Speed &limit:", 16, 26, 70, speedLimit_);

    proxy_ = WithId(new QLineEdit(parent), 1123);
    proxy_->setPlaceholderText(QStringLiteral("none, or http://host:port"));
    du.Place(proxy_, 90, y + 41, 100, 12);
    label("Pro&xy:", 16, 41, 70, proxy_);
    password_ = WithId(new QLineEdit(parent), 1124);
    password_->setEchoMode(QLineEdit::Password);
    du.Place(password_, 234, y + 41, 50, 12);
    label("Pass&word:", 196, 41, 34, password_);

    largestPicture_ = WithId(new QComboBox(parent), 1125);
    largestPicture_->setToolTip(QStringLiteral(
        "The quality chooses among the pictures no taller than this; when none is, the smallest is taken."));
    du.Place(largestPicture_, 90, y + 56, 70, 12);
    label("Largest &picture:", 16, 56, 70, largestPicture_);
    preferredCodec_ = WithId(new QComboBox(parent), 1126);
    preferredCodec_->addItem(QStringLiteral("Any"), QString());
    const QStringList shown{QStringLiteral("H.264"), QStringLiteral("HEVC"), QStringLiteral("VP9"),
                            QStringLiteral("AV1")};
    const QStringList families = PreferableCodecs();
    for (qsizetype i = 0; i < families.size(); ++i)
        preferredCodec_->addItem(shown.value(i, families[i]), families[i]);
    preferredCodec_->setToolTip(
        QStringLiteral("Taken first among the pictures of the chosen size, where a site offers it."));
    du.Place(preferredCodec_, 234, y + 56, 50, 12);
    label("Prefer co&dec:", 180, 56, 50, preferredCodec_);

    embedMetadata_ =
        WithId(new QCheckBox(QStringLiteral("Put the video's title, artist, &year, chapters and cover "
                                            "into the file"),
                             parent),
               1127);
    PlaceFitted(du, embedMetadata_, 16, y + 72, 200, 10);

    subtitleLanguages_ = WithId(new QLineEdit(parent), 1128);
    subtitleLanguages_->setPlaceholderText(QStringLiteral("none, or en,de or all"));
    subtitleLanguages_->setToolTip(
        QStringLiteral("The languages of the subtitles to fetch, as codes separated by commas, or all."));
    du.Place(subtitleLanguages_, 90, y + 86, 70, 12);
    label("S&ubtitles:", 16, 86, 70, subtitleLanguages_);
    automaticCaptions_ = WithId(new QCheckBox(QStringLiteral("Also automatic capt&ions"), parent), 1129);
    automaticCaptions_->setToolTip(
        QStringLiteral("Captions a site made by speech recognition, where it has no written ones."));
    PlaceFitted(du, automaticCaptions_, 166, y + 87, 118, 10);
    embedSubtitles_ = WithId(
        new QCheckBox(QStringLiteral("Put subtitles into the &file where it holds them, else beside it"),
                      parent),
        1130);
    PlaceFitted(du, embedSubtitles_, 16, y + 102, 260, 10);

    cookiesFile_ = WithId(new QLineEdit(parent), 1131);
    cookiesFile_->setPlaceholderText(QStringLiteral("none, or a cookies.txt"));
    cookiesFile_->setToolTip(QStringLiteral(
        "A cookies.txt in the Netscape format, exported while signed in; its cookies go with every job."));
    du.Place(cookiesFile_, 90, y + 116, 86, 12);
    label("Coo&kies file:", 16, 116, 70, cookiesFile_);
    cookiesFromBrowser_ = WithId(new QComboBox(parent), 1132);
    cookiesFromBrowser_->setEditable(true);
    cookiesFromBrowser_->addItem(QString());
    for (const QString& browser : CookieBrowsers())
        cookiesFromBrowser_->addItem(browser);
    cookiesFromBrowser_->setToolTip(
        QStringLiteral("yt-dlp reads this browser's cookies for every job (add :profile for another "
                       "profile); they serve the job's other requests too."));
    du.Place(cookiesFromBrowser_, 234, y + 116, 50, 12);
    label("From brows&er:", 180, 116, 52, cookiesFromBrowser_);
}

int DownloadsGroup::Height() {
    return 134;
}

void DownloadsGroup::Show(const AppSettings& settings) {
    atOnce_->setValue(settings.downloadsAtOnce);
    perSite_->setValue(settings.downloadsPerSite);
    speedLimit_->setValue(settings.speedLimit);
    storedProxy_ = settings.proxy;
    shownProxy_ = ProxyShownAs(settings.proxy);
    proxy_->setText(shownProxy_);
    password_->setText(ProxyPassword(settings.proxy));
    largestPicture_->clear();
    OfferPictureLimits(largestPicture_, settings.largestPicture);
    preferredCodec_->setCurrentIndex(qMax(0, preferredCodec_->findData(settings.preferredCodec)));
    embedMetadata_->setChecked(settings.embedMetadata);
    subtitleLanguages_->setText(settings.subtitleLanguages);
    automaticCaptions_->setChecked(settings.automaticCaptions);
    embedSubtitles_->setChecked(settings.embedSubtitles);
    cookiesFile_->setText(settings.cookiesFile);
    cookiesFromBrowser_->setEditText(settings.cookiesFromBrowser);
}

QString DownloadsGroup::Proxy() const {
    const QString address = proxy_->text().trimmed();
    if (address == shownProxy_ && password_->text() == ProxyPassword(storedProxy_))
        return storedProxy_;
    return WithProxyPassword(address, password_->text());
}

QString DownloadsGroup::Unusable() const {
    const QString proxy = Proxy();
    if (!proxy.isEmpty() && !IsUsableProxy(proxy))
        return QString::fromLatin1(UnusableProxyText);
    const QString browser = cookiesFromBrowser_->currentText().trimmed();
    if (!browser.isEmpty() && !IsKnownCookieBrowser(browser))
        return QStringLiteral("Cookies can be read from %1, optionally with :profile after the name.")
            .arg(CookieBrowsers().join(QStringLiteral(", ")));
    return QString();
}

void DownloadsGroup::Store(AppSettings& settings) const {
    settings.downloadsAtOnce = atOnce_->value();
    settings.downloadsPerSite = perSite_->value();
    settings.speedLimit = speedLimit_->value();
    settings.proxy = Proxy();
    settings.largestPicture = largestPicture_->currentData().toInt();
    settings.preferredCodec = preferredCodec_->currentData().toString();
    settings.embedMetadata = embedMetadata_->isChecked();
    settings.subtitleLanguages = subtitleLanguages_->text().trimmed();
    settings.automaticCaptions = automaticCaptions_->isChecked();
    settings.embedSubtitles = embedSubtitles_->isChecked();
    settings.cookiesFile = cookiesFile_->text().trimmed();
    settings.cookiesFromBrowser = cookiesFromBrowser_->currentText().trimmed();
}

} // namespace Tarnwick
