#pragma once

#include <QColor>
#include <QRgb>
#include <cstdint>

namespace tessapak::graphics {

// The control's colours are 0x00BBGGRR (red in the low byte), Qt's are
// 0xAARRGGBB. Every crossing between the two goes through these helpers.

constexpr std::uint8_t redOf(std::uint32_t colour) {
    return colour & 0xFFu;
}
constexpr std::uint8_t greenOf(std::uint32_t colour) {
    return (colour >> 8) & 0xFFu;
}
constexpr std::uint8_t blueOf(std::uint32_t colour) {
    return (colour >> 16) & 0xFFu;
}

// Writes #RRGGBB as the control holds it: hexColor(0xFCFCFB) == 0x00FBFCFC.
constexpr std::uint32_t hexColor(std::uint32_t rrggbb) {
    return ((rrggbb >> 16) & 0xFFu) | (rrggbb & 0xFF00u) | ((rrggbb & 0xFFu) << 16);
}

// Opaque Qt pixel value; the top byte of the colour (a system-colour tag) is dropped.
constexpr QRgb toRgb(std::uint32_t colour) {
    return 0xFF000000u | (std::uint32_t{redOf(colour)} << 16) |
           (std::uint32_t{greenOf(colour)} << 8) | blueOf(colour);
}

// Alpha is dropped: pictures and surfaces compare on their three colour bytes.
constexpr std::uint32_t fromRgb(QRgb rgb) {
    return ((rgb >> 16) & 0xFFu) | (rgb & 0xFF00u) | ((rgb & 0xFFu) << 16);
}

inline QColor toQColor(std::uint32_t colour) {
    return QColor::fromRgb(toRgb(colour));
}
inline std::uint32_t fromQColor(const QColor& colour) {
    return fromRgb(colour.rgb());
}

}  // namespace tessapak::graphics
