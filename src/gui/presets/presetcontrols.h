#pragma once

#include "conversion/videocodec.h"

#include <QObject>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QWidget;

namespace Tarnwick {

class AudioCodec;
class OutputFormat;
class Preset;
class SizeComboBox;

// The video and audio sections that the Format Settings and Preset Settings dialogs share: the
// codec lists, the value lists (a fixed list or, for values the codec leaves free, a typed
// value in the same place), the two Disable boxes, and the rules that enable them.
class PresetControls : public QObject {
    Q_OBJECT

public:
    enum class Kind { FormatSettings, PresetSettings };

    // Creates the controls on the dialog at their places for that dialog.
    PresetControls(QWidget* dialog, Kind kind);

    // Shows the preset's values for its format. Later codec changes refill the value lists
    // from this preset's values, so it must outlive the showing (or the next Load).
    void Load(const Preset& preset);

    // Writes what the controls show into target, a preset of the loaded format: flags are
    // cleared (the favourite mark too); a disabled kind keeps its old values. With forOk the
    // typed texts are read with the final parse rules (below 0.01 fps is Auto).
    void Collect(Preset& target, bool forOk) const;

    const OutputFormat* Format() const { return format_; }
    bool FrameRateTyped() const { return frameRateTyped_; }
    bool BitRateTyped() const { return bitRateTyped_; }
    bool SizeTyped() const { return sizeTyped_; }

    QComboBox* VideoCodecList() const { return videoCodecList_; }
    QComboBox* AudioCodecList() const { return audioCodecList_; }
    QComboBox* FrameRateList() const { return frameRateList_; }
    QComboBox* FrameRateEdit() const { return frameRateEdit_; }
    QComboBox* BitRateList() const { return bitRateList_; }
    QComboBox* BitRateEdit() const { return bitRateEdit_; }
    QComboBox* SizeList() const { return sizeList_; }
    SizeComboBox* SizeEdit() const { return sizeEdit_; }
    QCheckBox* DisableVideoBox() const { return disableVideo_; }
    QCheckBox* DisableAudioBox() const { return disableAudio_; }

signals:
    // The user changed a value in a way that can change which preset the values equal. Typing
    // in the size fields does not count: the size is taken from their text when it is used.
    void valuesChanged();

private:
    void CreateVideoSection(QWidget* dialog, Kind kind);
    void CreateAudioSection(QWidget* dialog, Kind kind);
    void SetToolTips(Kind kind);

    std::vector<const AudioCodec*> AudioChoices() const;
    void FillAudioCodecs(const std::vector<const AudioCodec*>& codecs, int fallback);
    void FillVideoCodecs();
    void FillAudioValues();
    void FillVideoValues();
    void ShowTypedOrList(QWidget* list, QWidget* edit, bool typed);

    void ApplyVideoSection();
    void ApplyAudioSection();
    void ApplyDisableBoxes();

    void OnVideoCodecChanged(int index);
    void OnAudioCodecChanged(int index);
    void OnListChanged();
    void OnFrameRateEdited(const QString& text);
    void OnFrameRateChosen(int index);
    void OnBitRateEdited(const QString& text);
    void OnBitRateChosen(int index);
    void OnSizeChosen(int index);
    void OnDisableVideo();
    void OnDisableAudio();
    void Changed();

    const OutputFormat* format_ = nullptr;
    const Preset* source_ = nullptr;
    const VideoCodec* videoCodec_ = nullptr;
    const AudioCodec* audioCodec_ = nullptr;
    bool frameRateTyped_ = false;
    bool bitRateTyped_ = false;
    bool sizeTyped_ = false;
    FrameRate typedFrameRate_;
    int typedBitRate_ = 0;
    PictureSize typedSize_;
    bool videoOff_ = false;
    bool audioOff_ = false;
    // Set while the controls are being filled, so that filling is not taken for the user.
    bool filling_ = false;

    QGroupBox* videoGroup_ = nullptr;
    QGroupBox* audioGroup_ = nullptr;
    QList<QLabel*> videoLabels_;
    QList<QLabel*> audioLabels_;
    QComboBox* videoCodecList_ = nullptr;
    QComboBox* frameRateList_ = nullptr;
    QComboBox* frameRateEdit_ = nullptr;
    QComboBox* bitRateList_ = nullptr;
    QComboBox* bitRateEdit_ = nullptr;
    QComboBox* sizeList_ = nullptr;
    SizeComboBox* sizeEdit_ = nullptr;
    QCheckBox* disableVideo_ = nullptr;
    QComboBox* audioCodecList_ = nullptr;
    QComboBox* sampleRateList_ = nullptr;
    QComboBox* audioBitRateList_ = nullptr;
    QComboBox* channelsList_ = nullptr;
    QCheckBox* disableAudio_ = nullptr;
};

} // namespace Tarnwick
