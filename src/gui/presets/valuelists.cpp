#include "valuelists.h"

#include "presets/valueformat.h"

#include <QComboBox>
#include <QPoint>
#include <QSize>
#include <climits>
#include <cmath>

namespace Tarnwick {

namespace {

template <typename Value>
int Position(const std::vector<Value>& values, const Value& wanted, const Value& fallback) {
    for (size_t i = 0; i < values.size(); ++i) {
        if (values[i] == wanted)
            return int(i);
    }
    for (size_t i = 0; i < values.size(); ++i) {
        if (values[i] == fallback)
            return int(i);
    }
    return 0;
}

template <typename Value, typename TextOf, typename DataOf>
void Fill(QComboBox* list, const std::vector<Value>& values, const Value& wanted, const Value& fallback,
          TextOf text, DataOf data) {
    list->clear();
    for (const Value& value : values)
        list->addItem(text(value), data(value));
    if (!values.empty())
        list->setCurrentIndex(Position(values, wanted, fallback));
}

QVariant NumberData(int value) {
    return value;
}

} // namespace

void FillFrameRates(QComboBox* list, const std::vector<FrameRate>& rates, FrameRate wanted,
                    FrameRate fallback) {
    Fill(
        list, rates, wanted, fallback,
        [](const FrameRate& rate) { return FormatFrameRate(rate.num, rate.den, "%.3f", false, true); },
        [](const FrameRate& rate) { return QVariant(QPoint(rate.num, rate.den)); });
}

void FillVideoBitRates(QComboBox* list, const std::vector<int>& rates, int wanted, int fallback) {
    Fill(
        list, rates, wanted, fallback, [](int rate) { return FormatBitRate(rate, "%.3f", false, true); },
        NumberData);
}

void FillSizes(QComboBox* list, const std::vector<PictureSize>& sizes, PictureSize wanted,
               PictureSize fallback) {
    Fill(
        list, sizes, wanted, fallback,
        [](const PictureSize& size) { return FormatSize(size.width, size.height, "%d x %d", true); },
        [](const PictureSize& size) { return QVariant(QSize(size.width, size.height)); });
}

void FillSampleRates(QComboBox* list, const std::vector<int>& rates, int wanted, int fallback) {
    Fill(
        list, rates, wanted, fallback, [](int rate) { return FormatSampleRate(rate, "%d", false, true); },
        NumberData);
}

void FillAudioBitRates(QComboBox* list, const std::vector<int>& rates, int wanted, int fallback) {
    FillVideoBitRates(list, rates, wanted, fallback);
}

void FillChannels(QComboBox* list, const std::vector<int>& counts, int wanted, int fallback) {
    Fill(
        list, counts, wanted, fallback, [](int count) { return FormatChannels(count, true); }, NumberData);
}

int NumberAt(const QComboBox* list, int index) {
    return index >= 0 && index < list->count() ? list->itemData(index).toInt() : 0;
}

FrameRate FrameRateAt(const QComboBox* list, int index) {
    if (index < 0 || index >= list->count())
        return {};
    const QPoint pair = list->itemData(index).toPoint();
    return {pair.x(), pair.y()};
}

int SelectedNumber(const QComboBox* list) {
    return NumberAt(list, list->currentIndex());
}

FrameRate SelectedFrameRate(const QComboBox* list) {
    return FrameRateAt(list, list->currentIndex());
}

PictureSize SelectedSize(const QComboBox* list) {
    const int index = list->currentIndex();
    if (index < 0 || index >= list->count())
        return {};
    const QSize size = list->itemData(index).toSize();
    return {size.width(), size.height()};
}

QString TypedFrameRateText(FrameRate rate) {
    return FormatFrameRate(rate.num, rate.den, "%.3f", false, true);
}

QString TypedBitRateText(int bitsPerSecond) {
    return FormatBitRate(bitsPerSecond, "%.3f", false, true);
}

FrameRate FrameRateWhileTyping(const QString& text) {
    const double thousandths = std::trunc(LeadingDecimal(text) * 1000.0);
    // A rate too large for the record is no rate at all, as in the stricter rule.
    if (!(thousandths >= 1.0) || thousandths > INT_MAX)
        return {};
    return {static_cast<int>(thousandths), 1000};
}

} // namespace Tarnwick
