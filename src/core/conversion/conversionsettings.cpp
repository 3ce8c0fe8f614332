#include "conversionsettings.h"

#include <cstring>

namespace Tarnwick {

ConversionSettings ZeroSettings() {
    ConversionSettings settings;
    std::memset(&settings, 0, sizeof settings);
    return settings;
}

void SetText(char (&field)[ConversionSettings::TextSize], const char* text) {
    size_t length = text ? std::strlen(text) : 0;
    if (length >= sizeof field) {
        length = sizeof field - 1;
        // Step back over continuation bytes so that the cut falls between two characters.
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            --length;
    }
    if (length > 0)
        std::memcpy(field, text, length);
    std::memset(field + length, 0, sizeof field - length);
}

void SetText(char (&field)[ConversionSettings::TextSize], const QString& text) {
    SetText(field, text.toUtf8().constData());
}

QString TextOf(const char (&field)[ConversionSettings::TextSize]) {
    return QString::fromUtf8(field, static_cast<qsizetype>(strnlen(field, sizeof field)));
}

} // namespace Tarnwick
