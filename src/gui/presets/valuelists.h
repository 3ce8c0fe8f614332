#pragma once

#include "conversion/videocodec.h"

#include <QString>
#include <vector>

class QComboBox;

namespace Tarnwick {

// Filling the value lists of the settings dialogs from a codec's table of allowed values. Each
// entry carries its value, so reading an entry back yields exactly the table's value; zero
// entries show "Auto". The selection is the first entry equal to the preset's value, else the
// entry equal to the codec's default, else the first entry.

void FillFrameRates(QComboBox* list, const std::vector<FrameRate>& rates, FrameRate wanted,
                    FrameRate fallback);
void FillVideoBitRates(QComboBox* list, const std::vector<int>& rates, int wanted, int fallback);
void FillSizes(QComboBox* list, const std::vector<PictureSize>& sizes, PictureSize wanted,
               PictureSize fallback);
void FillSampleRates(QComboBox* list, const std::vector<int>& rates, int wanted, int fallback);
void FillAudioBitRates(QComboBox* list, const std::vector<int>& rates, int wanted, int fallback);
void FillChannels(QComboBox* list, const std::vector<int>& counts, int wanted, int fallback);

// The value carried by the selected entry (or by the entry at index); 0 (Auto) without one.
int SelectedNumber(const QComboBox* list);
FrameRate SelectedFrameRate(const QComboBox* list);
PictureSize SelectedSize(const QComboBox* list);
FrameRate FrameRateAt(const QComboBox* list, int index);
int NumberAt(const QComboBox* list, int index);

// The texts of typed values, as the editable lists show them.
QString TypedFrameRateText(FrameRate rate);
QString TypedBitRateText(int bitsPerSecond);

// A frame rate as it is being typed: thousandths of the leading decimal, Auto below 0.001 fps.
// The stricter rule of ParseFrameRate (Auto below 0.01 fps) applies when the value is taken.
FrameRate FrameRateWhileTyping(const QString& text);

} // namespace Tarnwick
