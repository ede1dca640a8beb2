#pragma once
// Colour values as the keyboard definition stores them: a 32-bit integer
// holding 24-bit RGB, red in bits 0..7, green in 8..15, blue in 16..23.

#include <QColor>
#include <QRgb>
#include <cstdint>

namespace kf {

inline QRgb ColorValueToRgb(uint32_t value)
{
    return qRgb(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

inline QColor ColorValueToColor(uint32_t value)
{
    return QColor(ColorValueToRgb(value));
}

inline uint32_t RgbToColorValue(QRgb rgb)
{
    return uint32_t(qRed(rgb)) | (uint32_t(qGreen(rgb)) << 8) | (uint32_t(qBlue(rgb)) << 16);
}

inline uint32_t ColorToColorValue(const QColor &c)
{
    return RgbToColorValue(c.rgb());
}

} // namespace kf
