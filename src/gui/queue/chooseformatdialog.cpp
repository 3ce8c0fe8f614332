#include "chooseformatdialog.h"

#include "ui/picturelimitbox.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace Tarnwick {

namespace {

constexpr int IdRole = Qt::UserRole;

QString SoundText(const OfferedFormat& format) {
    if (!format.hasSound)
        return QStringLiteral("no (one is added)");
    return format.soundLanguage.isEmpty() ? QStringLiteral("yes")
                                          : QStringLiteral("yes, %1").arg(format.soundLanguage);
}

} // namespace

ChooseFormatDialog::ChooseFormatDialog(const QString& url, const QString& current, int currentLimit,
                                       Survey survey, QWidget* parent)
    : QDialog(parent)
    , current_(current)
    , currentLimit_(currentLimit) {
    setWindowTitle(QStringLiteral("Choose Format"));
    auto* layout = new QVBoxLayout(this);
    status_ = new QLabel(QStringLiteral("Reading %1 ...").arg(url), this);
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(status_);

    formats_ = new QTreeWidget(this);
    formats_->setRootIsDecorated(false);
    formats_->setHeaderLabels({QStringLiteral("Format"), QStringLiteral("Picture"),
                               QStringLiteral("Picture codec"), QStringLiteral("Sound codec"),
                               QStringLiteral("Container"), QStringLiteral("Size or bit rate"),
                               QStringLiteral("Sound")});
    formats_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    formats_->setEnabled(false);
    layout->addWidget(formats_, 1);

    auto* soundRow = new QHBoxLayout;
    soundLabel_ = new QLabel(QStringLiteral("&Sound to go with it:"), this);
    sound_ = new QComboBox(this);
    soundLabel_->setBuddy(sound_);
    soundRow->addWidget(soundLabel_);
    soundRow->addWidget(sound_, 1);
    layout->addLayout(soundRow);

    auto* limitRow = new QHBoxLayout;
    limitLabel_ = new QLabel(QStringLiteral("&Largest picture for every entry:"), this);
    limit_ = new QComboBox(this);
    limit_->addItem(QStringLiteral("As in Options"), -1);
    OfferPictureLimits(limit_, currentLimit);
    limitLabel_->setBuddy(limit_);
    limitRow->addWidget(limitLabel_);
    limitRow->addWidget(limit_, 1);
    layout->addLayout(limitRow);
    for (QWidget* widget : {static_cast<QWidget*>(soundLabel_), static_cast<QWidget*>(sound_),
                            static_cast<QWidget*>(limitLabel_), static_cast<QWidget*>(limit_)})
        widget->hide();

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(false);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons_);
    connect(formats_, &QTreeWidget::currentItemChanged, this, &ChooseFormatDialog::UpdateSound);
    connect(formats_, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    resize(720, 360);

    // The reading may take seconds (yt-dlp); the window stays responsive meanwhile.
    reader_ = QThread::create([this, survey = std::move(survey)] {
        FormatSurvey result = survey(stop_);
        QMetaObject::invokeMethod(
            this, [this, result = std::move(result)] { ShowSurvey(result); }, Qt::QueuedConnection);
    });
    reader_->start();
}

ChooseFormatDialog::~ChooseFormatDialog() {
    stop_ = true;
    reader_->wait();
    delete reader_;
}

void ChooseFormatDialog::ShowSurvey(const FormatSurvey& survey) {
    survey_ = survey;
    read_ = survey.read;
    if (!survey.read) {
        status_->setText(QStringLiteral("The address could not be read: %1").arg(survey.reason));
        emit readingEnded();
        return;
    }
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(true);
    if (survey.isPlaylist) {
        status_->setText(
            QStringLiteral("\"%1\" is a playlist of %2 entries. The quality chooses each entry's "
                           "picture among those no larger than:")
                .arg(survey.title)
                .arg(survey.entryCount));
        formats_->hide();
        limitLabel_->show();
        limit_->show();
        emit readingEnded();
        return;
    }
    status_->setText(
        QStringLiteral("\"%1\" offers %2 formats:").arg(survey.title).arg(survey.formats.size()));
    auto* rule = new QTreeWidgetItem(formats_, {QStringLiteral("By the quality and Options"), QString(),
                                                QString(), QString(), QString(), QString(), QString()});
    rule->setData(0, IdRole, QString());
    QTreeWidgetItem* currentItem = rule;
    const QString currentPicture = current_.section(u'+', 0, 0);
    const QString currentSound = current_.section(u'+', 1);
    sound_->addItem(QStringLiteral("The best one"), QString());
    for (const OfferedFormat& format : survey.formats) {
        if (!format.hasPicture)
            sound_->addItem(QStringLiteral("%1 (%2, %3%4)")
                                .arg(format.id, OrDash(format.soundCodec), OfferedSizeText(format),
                                     format.soundLanguage.isEmpty()
                                         ? QString()
                                         : QStringLiteral(", ") + format.soundLanguage),
                            format.id);
        auto* item =
            new QTreeWidgetItem(formats_, {format.id, OfferedPictureText(format), OrDash(format.pictureCodec),
                                           OrDash(format.soundCodec), OrDash(format.container),
                                           OfferedSizeText(format), SoundText(format)});
        item->setData(0, IdRole, format.id);
        item->setData(1, IdRole, format.hasPicture && !format.hasSound);
        if (format.id == currentPicture)
            currentItem = item;
    }
    sound_->setCurrentIndex(qMax(0, sound_->findData(currentSound)));
    formats_->setEnabled(true);
    formats_->setCurrentItem(currentItem);
    soundLabel_->show();
    sound_->show();
    UpdateSound();
    WidenForColumns();
    formats_->setFocus();
    emit readingEnded();
}

// Codec names and sizes run long: the dialog grows until every column shows whole, as far as
// the screen allows, rather than scroll the list sideways.
void ChooseFormatDialog::WidenForColumns() {
    layout()->activate();
    QHeaderView* header = formats_->header();
    header->resizeSections(QHeaderView::ResizeToContents);
    const int scrollBar = formats_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, formats_);
    const int extra = header->length() + 2 * formats_->frameWidth() + scrollBar - formats_->width();
    if (extra <= 0)
        return;
    const int frame = frameGeometry().width() - width();
    resize(qMin(width() + extra, screen()->availableGeometry().width() - frame), height());
}

void ChooseFormatDialog::UpdateSound() {
    const QTreeWidgetItem* item = formats_->currentItem();
    // Only a picture without sound takes one from the list; the others carry their own.
    const bool needsSound = item != nullptr && item->data(1, IdRole).toBool() && sound_->count() > 1;
    sound_->setEnabled(needsSound);
    soundLabel_->setEnabled(needsSound);
}

QString ChooseFormatDialog::ChosenFormat() const {
    if (survey_.isPlaylist || formats_->currentItem() == nullptr)
        return current_;
    const QString picture = formats_->currentItem()->data(0, IdRole).toString();
    const QString sound = sound_->isEnabled() ? sound_->currentData().toString() : QString();
    return sound.isEmpty() || picture.isEmpty() ? picture : picture + QLatin1Char('+') + sound;
}

int ChooseFormatDialog::ChosenLimit() const {
    return survey_.isPlaylist ? limit_->currentData().toInt() : currentLimit_;
}

} // namespace Tarnwick
