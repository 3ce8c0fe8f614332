#include "presetcontrols.h"

#include "conversion/outputformat.h"
#include "conversion/preset.h"
#include "dialogsupport.h"
#include "presets/valueformat.h"
#include "ui/dialogunits.h"
#include "ui/sizecombobox.h"
#include "valuelists.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace Tarnwick {

namespace {

// Height of a closed drop-down list, in dialog units.
constexpr int ListHeight = 12;

// Rows of the value lists, the same in both dialogs.
constexpr int CodecRow = 53;
constexpr int FrameRateRow = 76;
constexpr int BitRateRow = 93;
constexpr int SizeRow = 110;

QComboBox* MakeList(QWidget* dialog, int id, bool editable) {
    auto* list = WithId(new QComboBox(dialog), id);
    if (editable) {
        list->setEditable(true);
        // A typed value is a value, not a new entry of the list.
        list->setInsertPolicy(QComboBox::NoInsert);
    }
    return list;
}

template <typename Codec>
quintptr CodecData(const Codec* codec) {
    return reinterpret_cast<quintptr>(codec);
}

template <typename Codec>
const Codec* CodecAt(const QComboBox* list, int index) {
    if (index < 0 || index >= list->count())
        return nullptr;
    return reinterpret_cast<const Codec*>(list->itemData(index).value<quintptr>());
}

} // namespace

PresetControls::PresetControls(QWidget* dialog, Kind kind)
    : QObject(dialog) {
    CreateVideoSection(dialog, kind);
    CreateAudioSection(dialog, kind);
    SetToolTips(kind);
}

void PresetControls::CreateVideoSection(QWidget* dialog, Kind kind) {
    const DialogUnits du(dialog->font());
    const bool formatSettings = kind == Kind::FormatSettings;
    const int sectionHeight = formatSettings ? 115 : 133;

    // The group box goes first, so the controls drawn over it stay on top.
    videoGroup_ = WithId(new QGroupBox(QStringLiteral("Video"), dialog), 1059);
    du.Place(videoGroup_, 7, 39, 139, sectionHeight);

    auto label = [&](int id, const QString& text, int x, int y, int width) {
        auto* widget = WithId(new QLabel(text, dialog), id);
        PlaceRightLabel(du, widget, x, y, width, 8);
        videoLabels_.append(widget);
    };
    if (formatSettings)
        label(1064, QStringLiteral("Format/Codec:"), 14, 55, 49);
    else
        label(1064, QStringLiteral("Video Format:"), 17, 55, 46);
    label(1071, QStringLiteral("Frame Rate:"), 22, 78, 41);
    label(1073, QStringLiteral("Bit Rate(kbps):"), 15, 95, 48);
    label(1067, QStringLiteral("Size(WxH):"), 26, 112, 37);

    videoCodecList_ = MakeList(dialog, 1036, false);
    du.Place(videoCodecList_, 67, CodecRow, 72, ListHeight);
    frameRateList_ = MakeList(dialog, 1209, false);
    frameRateEdit_ = MakeList(dialog, 1210, true);
    bitRateList_ = MakeList(dialog, 1199, false);
    bitRateEdit_ = MakeList(dialog, 1198, true);
    sizeList_ = MakeList(dialog, 1201, false);
    sizeEdit_ = WithId(new SizeComboBox(dialog), 1200);
    sizeEdit_->setInsertPolicy(QComboBox::NoInsert);
    for (QComboBox* list : {frameRateList_, frameRateEdit_})
        du.Place(list, 67, FrameRateRow, 72, ListHeight);
    for (QComboBox* list : {bitRateList_, bitRateEdit_})
        du.Place(list, 67, BitRateRow, 72, ListHeight);
    for (QComboBox* list : {sizeList_, static_cast<QComboBox*>(sizeEdit_)})
        du.Place(list, 67, SizeRow, 72, ListHeight);
    // Which of each pair shows is decided by the codec; before that the dialogs differ.
    frameRateEdit_->setVisible(!formatSettings);
    bitRateEdit_->setVisible(!formatSettings);
    sizeEdit_->setVisible(!formatSettings);

    disableVideo_ = WithId(new QCheckBox(QStringLiteral("Disable Video"), dialog), 1049);
    PlaceFitted(du, disableVideo_, 16, formatSettings ? 138 : 156, 58, 10);

    connect(videoCodecList_, &QComboBox::currentIndexChanged, this, &PresetControls::OnVideoCodecChanged);
    for (QComboBox* list : {frameRateList_, bitRateList_, sizeList_})
        connect(list, &QComboBox::currentIndexChanged, this, &PresetControls::OnListChanged);
    connect(frameRateEdit_->lineEdit(), &QLineEdit::textEdited, this, &PresetControls::OnFrameRateEdited);
    connect(frameRateEdit_, &QComboBox::activated, this, &PresetControls::OnFrameRateChosen);
    connect(bitRateEdit_->lineEdit(), &QLineEdit::textEdited, this, &PresetControls::OnBitRateEdited);
    connect(bitRateEdit_, &QComboBox::activated, this, &PresetControls::OnBitRateChosen);
    // Typing in the size fields changes only the editor's text, which OK reads: matching the
    // preset list on every keystroke would jump through presets while "320" is being typed.
    connect(sizeEdit_, &QComboBox::activated, this, &PresetControls::OnSizeChosen);
    connect(disableVideo_, &QCheckBox::toggled, this, &PresetControls::OnDisableVideo);
}

void PresetControls::CreateAudioSection(QWidget* dialog, Kind kind) {
    const DialogUnits du(dialog->font());
    const bool formatSettings = kind == Kind::FormatSettings;

    audioGroup_ = WithId(new QGroupBox(QStringLiteral("Audio"), dialog), 1061);
    du.Place(audioGroup_, 154, 39, 139, formatSettings ? 115 : 133);

    auto label = [&](int id, const QString& text, int x, int y, int width) {
        auto* widget = WithId(new QLabel(text, dialog), id);
        PlaceRightLabel(du, widget, x, y, width, 8);
        audioLabels_.append(widget);
    };
    if (formatSettings)
        label(1075, QStringLiteral("Format/Codec:"), 162, 55, 49);
    else
        label(1075, QStringLiteral("Audio Format:"), 164, 55, 46);
    label(1076, QStringLiteral("Sample Rate:"), 167, 78, 44);
    label(1077, QStringLiteral("Bit Rate(kbps):"), 163, 95, 48);
    label(1078, QStringLiteral("Channels:"), 177, 112, 33);

    audioCodecList_ = MakeList(dialog, 1040, false);
    du.Place(audioCodecList_, 214, CodecRow, 72, ListHeight);
    sampleRateList_ = MakeList(dialog, 1043, false);
    du.Place(sampleRateList_, 214, FrameRateRow, 72, ListHeight);
    audioBitRateList_ = MakeList(dialog, 1046, false);
    du.Place(audioBitRateList_, 214, BitRateRow, 72, ListHeight);
    channelsList_ = MakeList(dialog, 1041, false);
    du.Place(channelsList_, 214, SizeRow, 72, ListHeight);

    disableAudio_ = WithId(new QCheckBox(QStringLiteral("Disable Audio"), dialog), 1056);
    PlaceFitted(du, disableAudio_, 163, formatSettings ? 138 : 156, 59, 10);

    connect(audioCodecList_, &QComboBox::currentIndexChanged, this, &PresetControls::OnAudioCodecChanged);
    for (QComboBox* list : {sampleRateList_, audioBitRateList_, channelsList_})
        connect(list, &QComboBox::currentIndexChanged, this, &PresetControls::OnListChanged);
    connect(disableAudio_, &QCheckBox::toggled, this, &PresetControls::OnDisableAudio);
}

void PresetControls::SetToolTips(Kind kind) {
    auto tip = [](QWidget* widget, const QString& text) {
        widget->setToolTip(text);
    };
    auto sizeTip = [this](const QString& text) {
        sizeList_->setToolTip(text);
        sizeEdit_->setToolTip(text);
        sizeEdit_->WidthField()->setToolTip(text);
        sizeEdit_->HeightField()->setToolTip(text);
    };
    if (kind == Kind::FormatSettings) {
        const QString bitRate =
            QStringLiteral("Set %1 Bitrate\n- Higher bitrate = Higher quality & larger file\n"
                           "- Lower bitrate = Lower quality & smaller file");
        tip(videoCodecList_, QStringLiteral("Select Video Format"));
        tip(frameRateList_, QStringLiteral("Set Video Frame Rate"));
        tip(frameRateEdit_, QStringLiteral("Set Video Frame Rate"));
        tip(bitRateList_, bitRate.arg(QStringLiteral("Video")));
        tip(bitRateEdit_, bitRate.arg(QStringLiteral("Video")));
        sizeTip(QStringLiteral("Set Video Scale Size"));
        tip(audioCodecList_, QStringLiteral("Select Audio Format"));
        tip(sampleRateList_, QStringLiteral("Set Audio Sample Rate"));
        tip(audioBitRateList_, bitRate.arg(QStringLiteral("Audio")));
        tip(channelsList_, QStringLiteral("Set Audio Channels"));
        return;
    }
    const QString bitRate =
        QStringLiteral("Set %1 Bit Rate (kbps)\n- Higher bit rate = Higher quality & larger file\n"
                       "- Lower bit rate = Lower quality & smaller file");
    tip(videoCodecList_, QStringLiteral("Select Video Format or Codec"));
    tip(frameRateList_, QStringLiteral("Set Video Frame Rate (fps)"));
    tip(frameRateEdit_, QStringLiteral("Set Video Frame Rate (fps)"));
    tip(bitRateList_, bitRate.arg(QStringLiteral("Video")));
    tip(bitRateEdit_, bitRate.arg(QStringLiteral("Video")));
    sizeTip(QStringLiteral("Set Video Scale Size (Width x Height)"));
    tip(disableVideo_, QStringLiteral("When checked, the output file will not contain video"));
    tip(audioCodecList_, QStringLiteral("Select Audio Format or Codec"));
    tip(sampleRateList_, QStringLiteral("Set Audio Sample Rate (Hz)"));
    tip(audioBitRateList_, bitRate.arg(QStringLiteral("Audio")));
    tip(channelsList_, QStringLiteral("Set Audio Channels"));
    tip(disableAudio_, QStringLiteral("When checked, the output file will not contain audio"));
}

void PresetControls::Load(const Preset& preset) {
    format_ = preset.format;
    source_ = &preset;
    filling_ = true;
    videoCodec_ = nullptr;
    FillAudioCodecs(AudioChoices(), format_ ? format_->defaultAudioCodec : 0);
    FillVideoCodecs();
    videoOff_ = (preset.settings.flags & ConversionSettings::VideoDisabled) != 0;
    audioOff_ = (preset.settings.flags & ConversionSettings::AudioDisabled) != 0;
    disableVideo_->setChecked(videoOff_);
    disableAudio_->setChecked(audioOff_);
    ApplyDisableBoxes();
    ApplyVideoSection();
    ApplyAudioSection();
    filling_ = false;
}

std::vector<const AudioCodec*> PresetControls::AudioChoices() const {
    std::vector<const AudioCodec*> codecs;
    if (format_ == nullptr)
        return codecs;
    const auto& owned =
        videoCodec_ && videoCodec_->audioForVideo ? *videoCodec_->audioForVideo : format_->audioCodecs;
    for (const auto& codec : owned)
        codecs.push_back(codec.get());
    return codecs;
}

void PresetControls::FillAudioCodecs(const std::vector<const AudioCodec*>& codecs, int fallback) {
    const bool wasFilling = filling_;
    filling_ = true;
    audioCodecList_->clear();
    int selected = fallback >= 0 && fallback < int(codecs.size()) ? fallback : 0;
    for (size_t i = 0; i < codecs.size(); ++i) {
        audioCodecList_->addItem(codecs[i]->displayName, CodecData(codecs[i]));
        if (source_ && codecs[i] == source_->audioCodec)
            selected = int(i);
    }
    audioCodec_ = codecs.empty() ? nullptr : codecs[selected];
    if (!codecs.empty())
        audioCodecList_->setCurrentIndex(selected);
    FillAudioValues();
    filling_ = wasFilling;
}

void PresetControls::FillAudioValues() {
    if (audioCodec_ == nullptr) {
        sampleRateList_->clear();
        audioBitRateList_->clear();
        channelsList_->clear();
        return;
    }
    const ConversionSettings& values = source_->settings;
    FillSampleRates(sampleRateList_, audioCodec_->allowedSampleRates, values.sampleRate,
                    audioCodec_->defaultSampleRate);
    FillAudioBitRates(audioBitRateList_, audioCodec_->allowedBitRates, values.audioBitRate,
                      audioCodec_->defaultBitRate);
    FillChannels(channelsList_, audioCodec_->allowedChannels, values.channels, audioCodec_->defaultChannels);
}

void PresetControls::FillVideoCodecs() {
    videoCodecList_->clear();
    videoCodec_ = nullptr;
    if (format_ != nullptr && !format_->videoCodecs.empty()) {
        const auto& codecs = format_->videoCodecs;
        int selected = format_->defaultVideoCodec >= 0 && format_->defaultVideoCodec < int(codecs.size())
                           ? format_->defaultVideoCodec
                           : 0;
        for (size_t i = 0; i < codecs.size(); ++i) {
            videoCodecList_->addItem(codecs[i]->displayName, CodecData(codecs[i].get()));
            if (codecs[i].get() == source_->videoCodec)
                selected = int(i);
        }
        videoCodec_ = codecs[selected].get();
        videoCodecList_->setCurrentIndex(selected);
    }
    FillVideoValues();
    if (videoCodec_ && videoCodec_->audioForVideo)
        FillAudioCodecs(AudioChoices(), 0);
}

void PresetControls::ShowTypedOrList(QWidget* list, QWidget* edit, bool typed) {
    list->setVisible(!typed);
    edit->setVisible(typed);
}

void PresetControls::FillVideoValues() {
    const ConversionSettings& values = source_->settings;
    const int freedom = videoCodec_ ? videoCodec_->freedom : 0;
    frameRateTyped_ = (freedom & VideoCodec::FreeFrameRate) != 0;
    bitRateTyped_ = (freedom & VideoCodec::FreeBitRate) != 0;
    sizeTyped_ = (freedom & VideoCodec::FreeSize) != 0;
    ShowTypedOrList(frameRateList_, frameRateEdit_, frameRateTyped_);
    ShowTypedOrList(bitRateList_, bitRateEdit_, bitRateTyped_);
    ShowTypedOrList(sizeList_, sizeEdit_, sizeTyped_);
    if (videoCodec_ == nullptr) {
        for (QComboBox* list : {frameRateList_, bitRateList_, sizeList_})
            list->clear();
        return;
    }

    const VideoCodec& codec = *videoCodec_;
    const FrameRate rate{values.frameRateNum, values.frameRateDen};
    FillFrameRates(frameRateTyped_ ? frameRateEdit_ : frameRateList_, codec.allowedFrameRates, rate,
                   codec.defaultFrameRate);
    if (frameRateTyped_) {
        typedFrameRate_ = rate;
        frameRateEdit_->setEditText(TypedFrameRateText(rate));
    }
    FillVideoBitRates(bitRateTyped_ ? bitRateEdit_ : bitRateList_, codec.allowedBitRates, values.videoBitRate,
                      codec.defaultBitRate);
    if (bitRateTyped_) {
        typedBitRate_ = values.videoBitRate;
        bitRateEdit_->setEditText(TypedBitRateText(values.videoBitRate));
    }
    const PictureSize size{values.width, values.height};
    FillSizes(sizeTyped_ ? sizeEdit_ : sizeList_, codec.allowedSizes, size, codec.defaultSize);
    if (sizeTyped_) {
        typedSize_ = size;
        sizeEdit_->SetValue(size.width, size.height);
    }
}

void PresetControls::ApplyVideoSection() {
    const bool hasVideo = format_ && format_->HasVideo();
    videoGroup_->setEnabled(hasVideo);
    const bool editable = hasVideo && !videoOff_;
    for (QWidget* widget : std::initializer_list<QWidget*>{videoCodecList_, frameRateList_, frameRateEdit_,
                                                           bitRateList_, bitRateEdit_, sizeList_, sizeEdit_})
        widget->setEnabled(editable);
    for (QLabel* label : videoLabels_)
        label->setEnabled(editable);
}

void PresetControls::ApplyAudioSection() {
    const bool shown = format_ && format_->HasAudio() && !videoOff_;
    audioGroup_->setEnabled(shown);
    const bool editable = shown && !audioOff_;
    for (QWidget* widget :
         std::initializer_list<QWidget*>{audioCodecList_, sampleRateList_, audioBitRateList_, channelsList_})
        widget->setEnabled(editable);
    for (QLabel* label : audioLabels_)
        label->setEnabled(editable);
}

void PresetControls::ApplyDisableBoxes() {
    const bool both = format_ && format_->HasVideo() && format_->HasAudio();
    // At most one of the two can be ticked: a file needs video or audio.
    disableAudio_->setEnabled(both && !videoOff_);
    disableVideo_->setEnabled(both && !audioOff_);
}

void PresetControls::OnVideoCodecChanged(int index) {
    if (filling_ || source_ == nullptr)
        return;
    const VideoCodec* previous = videoCodec_;
    videoCodec_ = CodecAt<VideoCodec>(videoCodecList_, index);
    filling_ = true;
    FillVideoValues();
    const bool ownAudio = videoCodec_ && videoCodec_->audioForVideo;
    if (ownAudio || (previous && previous->audioForVideo))
        FillAudioCodecs(AudioChoices(), ownAudio ? 0 : format_->defaultAudioCodec);
    ApplyVideoSection();
    ApplyAudioSection();
    filling_ = false;
    Changed();
}

void PresetControls::OnAudioCodecChanged(int index) {
    if (filling_ || source_ == nullptr)
        return;
    audioCodec_ = CodecAt<AudioCodec>(audioCodecList_, index);
    filling_ = true;
    FillAudioValues();
    filling_ = false;
    Changed();
}

void PresetControls::OnListChanged() {
    if (!filling_)
        Changed();
}

void PresetControls::OnFrameRateEdited(const QString& text) {
    typedFrameRate_ = FrameRateWhileTyping(text);
    Changed();
}

void PresetControls::OnFrameRateChosen(int index) {
    typedFrameRate_ = FrameRateAt(frameRateEdit_, index);
    Changed();
}

void PresetControls::OnBitRateEdited(const QString& text) {
    typedBitRate_ = ParseBitRate(text);
    Changed();
}

void PresetControls::OnBitRateChosen(int index) {
    typedBitRate_ = NumberAt(bitRateEdit_, index);
    Changed();
}

void PresetControls::OnSizeChosen(int index) {
    if (index < 0 || index >= sizeEdit_->count())
        return;
    const QSize size = sizeEdit_->itemData(index).toSize();
    typedSize_ = {size.width(), size.height()};
    Changed();
}

void PresetControls::OnDisableVideo() {
    if (filling_)
        return;
    videoOff_ = disableVideo_->isChecked();
    ApplyVideoSection();
    // Without video the audio is all the file has, so it is no longer adjustable either.
    ApplyAudioSection();
    ApplyDisableBoxes();
    Changed();
}

void PresetControls::OnDisableAudio() {
    if (filling_)
        return;
    audioOff_ = disableAudio_->isChecked();
    ApplyAudioSection();
    ApplyDisableBoxes();
    Changed();
}

void PresetControls::Changed() {
    if (!filling_)
        emit valuesChanged();
}

void PresetControls::Collect(Preset& target, bool forOk) const {
    ConversionSettings& values = target.settings;
    values.flags = 0;
    if (format_ == nullptr)
        return;
    if (format_->HasVideo()) {
        if (videoOff_) {
            values.flags |= ConversionSettings::VideoDisabled;
        } else {
            target.videoCodec = videoCodec_;
            SetText(values.videoCodec, videoCodec_ ? videoCodec_->key : QString());
            FrameRate rate = SelectedFrameRate(frameRateList_);
            if (frameRateTyped_) {
                const FrameRateValue parsed = ParseFrameRate(frameRateEdit_->currentText());
                rate = forOk ? FrameRate{parsed.numerator, parsed.denominator} : typedFrameRate_;
            }
            values.frameRateNum = rate.num;
            values.frameRateDen = rate.den;
            if (bitRateTyped_)
                values.videoBitRate = forOk ? ParseBitRate(bitRateEdit_->currentText()) : typedBitRate_;
            else
                values.videoBitRate = SelectedNumber(bitRateList_);
            PictureSize size = SelectedSize(sizeList_);
            if (sizeTyped_) {
                const QSize typed = sizeEdit_->Value();
                size = forOk ? PictureSize{typed.width(), typed.height()} : typedSize_;
            }
            values.width = size.width;
            values.height = size.height;
        }
    }
    if (format_->HasAudio()) {
        if (audioOff_) {
            values.flags |= ConversionSettings::AudioDisabled;
        } else {
            target.audioCodec = audioCodec_;
            SetText(values.audioCodec, audioCodec_ ? audioCodec_->key : QString());
            values.sampleRate = SelectedNumber(sampleRateList_);
            values.audioBitRate = SelectedNumber(audioBitRateList_);
            values.channels = SelectedNumber(channelsList_);
        }
    }
}

} // namespace Tarnwick
