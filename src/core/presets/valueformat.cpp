#include "valueformat.h"

#include <QByteArray>
#include <QLocale>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>

namespace Tarnwick {

const char* const AutoText = "Auto";

namespace {

QString AutoOrEmpty(bool autoForZero) {
    return autoForZero ? QString::fromLatin1(AutoText) : QString();
}

// QString::asprintf formats numbers in the C locale, which keeps "." as the decimal point
// for every user; the preset file and the engine's option line depend on that.
QString FormatDecimal(double value, const char* format) {
    return TrimDecimal(QString::asprintf(format, value));
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

QString TrimDecimal(QString text) {
    while (text.endsWith(u'0'))
        text.chop(1);
    while (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

QString FormatTime(int milliseconds, bool secondsOnly, bool withMilliseconds, bool alwaysHours) {
    const int seconds = milliseconds / 1000;
    if (secondsOnly) {
        return withMilliseconds ? QString::asprintf("%.3f", milliseconds * 0.001)
                                : QString::asprintf("%d", seconds);
    }
    const int ms = milliseconds % 1000;
    const int h = seconds / 3600;
    const int m = seconds % 3600 / 60;
    const int s = seconds % 60;
    if (alwaysHours || h > 0) {
        return withMilliseconds ? QString::asprintf("%02d:%02d:%02d.%03d", h, m, s, ms)
                                : QString::asprintf("%02d:%02d:%02d", h, m, s);
    }
    return withMilliseconds ? QString::asprintf("%02d:%02d.%03d", m, s, ms)
                            : QString::asprintf("%02d:%02d", m, s);
}

QString FormatSize(int width, int height, const char* format, bool autoForZero) {
    if ((width != 0 && height != 0) || !autoForZero)
        return QString::asprintf(format, width, height);
    return QString::fromLatin1(AutoText);
}

QString FormatPair(int first, int second, const char* format) {
    return QString::asprintf(format, first, second);
}

QString FormatRatio(int numerator, int denominator, const char* format) {
    if (numerator > 0 && denominator > 0)
        return FormatDecimal(static_cast<double>(numerator) / static_cast<double>(denominator), format);
    return QString();
}

QString FormatFrameRate(int numerator, int denominator, const char* format, bool withFps, bool autoForZero) {
    if (numerator == 0 || denominator == 0)
        return AutoOrEmpty(autoForZero);
    QString text = FormatRatio(numerator, denominator, format);
    if (withFps)
        text += u" fps";
    return text;
}

QString FormatChannels(int count, bool autoForZero) {
    switch (count) {
    case 0:
        return AutoOrEmpty(autoForZero);
    case 1:
        return QStringLiteral("Mono");
    case 2:
        return QStringLiteral("Stereo");
    case 6:
        return QStringLiteral("5.1");
    default:
        return QString();
    }
}

QString FormatBitRate(int bitsPerSecond, const char* format, bool withKbps, bool autoForZero) {
    if (bitsPerSecond == 0)
        return AutoOrEmpty(autoForZero);
    if (bitsPerSecond < 0)
        return QString();
    QString text = FormatDecimal(bitsPerSecond * 0.001, format);
    if (withKbps)
        text += u" kbps";
    return text;
}

QString FormatSampleRate(int hertz, const char* format, bool withHz, bool autoForZero) {
    if (hertz == 0)
        return AutoOrEmpty(autoForZero);
    if (hertz < 0)
        return QString();
    QString text = QString::asprintf(format, hertz);
    if (withHz)
        text += u" Hz";
    return text;
}

SizeValue ParseSize(const QString& text, const char* format) {
    SizeValue size;
    const QByteArray bytes = text.toUtf8();
    // Integer conversions of sscanf do not depend on the locale.
    std::sscanf(bytes.constData(), format, &size.width, &size.height);
    return size;
}

int LeadingInteger(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    const char* p = bytes.constData();
    while (IsBlank(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    long long value = 0;
    for (; IsDigit(*p); ++p) {
        value = value * 10 + (*p - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1; // saturate instead of overflowing
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        value = INT_MAX;
    return static_cast<int>(value);
}

double LeadingDecimal(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    const char* p = bytes.constData();
    while (IsBlank(*p))
        ++p;
    const char* start = p;
    if (*p == '+' || *p == '-')
        ++p;
    const char* digitsStart = p;
    while (IsDigit(*p))
        ++p;
    if (*p == '.') {
        ++p;
        while (IsDigit(*p))
            ++p;
    }
    if (p == digitsStart || (p == digitsStart + 1 && *digitsStart == '.'))
        return 0.0;
    // An exponent counts only when digits follow it ("1e" reads as 1).
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        if (*q == '+' || *q == '-')
            ++q;
        if (IsDigit(*q)) {
            while (IsDigit(*q))
                ++q;
            p = q;
        }
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(QLatin1StringView(start, p - start), &ok);
    return ok ? value : 0.0;
}

int ParseBitRate(const QString& text) {
    const long long bitsPerSecond = static_cast<long long>(LeadingInteger(text)) * 1000;
    if (bitsPerSecond > INT_MAX || bitsPerSecond < INT_MIN)
        return 0; // a value that cannot be stored is as good as none
    return static_cast<int>(bitsPerSecond);
}

FrameRateValue ParseFrameRate(const QString& text) {
    const double thousandths = std::trunc(LeadingDecimal(text) * 1000.0);
    if (!(thousandths >= 10.0) || thousandths > INT_MAX)
        return {};
    return {static_cast<int>(thousandths), 1000};
}

} // namespace Tarnwick
