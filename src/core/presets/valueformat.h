#pragma once

#include <QString>

namespace Tarnwick {

// Texts for the integers of a conversion setting, and the parse rules for typed values.
// Zero means "Auto" throughout; "Auto" is only ever shown, never stored. Every function is
// pure and independent of the user's locale: a decimal point is always ".".

// The text shown for zero values.
extern const char* const AutoText;

// Removes trailing "0" characters, then trailing "." characters: "25.000" gives "25".
QString TrimDecimal(QString text);

QString FormatTime(int milliseconds, bool secondsOnly, bool withMilliseconds, bool alwaysHours);
// format has two integer placeholders.
QString FormatSize(int width, int height, const char* format, bool autoForZero);
QString FormatPair(int first, int second, const char* format);
// format has one floating placeholder.
QString FormatRatio(int numerator, int denominator, const char* format);
QString FormatFrameRate(int numerator, int denominator, const char* format, bool withFps, bool autoForZero);
QString FormatChannels(int count, bool autoForZero);
QString FormatBitRate(int bitsPerSecond, const char* format, bool withKbps, bool autoForZero);
QString FormatSampleRate(int hertz, const char* format, bool withHz, bool autoForZero);

struct SizeValue {
    int width = 0;
    int height = 0;
};

// Reads two integers with the scanf rules of format; each one not read is 0.
SizeValue ParseSize(const QString& text, const char* format);

struct FrameRateValue {
    int numerator = 0;
    int denominator = 0;
};

// A video bit rate typed in kbps: the leading integer (atoi rules) times 1000.
int ParseBitRate(const QString& text);
// A frame rate typed in fps: the leading decimal (atof rules) in thousandths; below 0.01 fps
// (and for text that is not a number) it is Auto, 0/0.
FrameRateValue ParseFrameRate(const QString& text);

// The atoi and atof rules, in the C locale whatever the user's locale: leading blanks, an
// optional sign, then as much of a number as there is; no number gives 0.
int LeadingInteger(const QString& text);
double LeadingDecimal(const QString& text);

} // namespace Tarnwick
