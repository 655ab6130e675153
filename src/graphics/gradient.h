#pragma once

#include <QImage>
#include <cstdint>

namespace tessapak::graphics {

class Surface;
struct TRIVERTEX;

// The platform's RECT: four signed 32-bit values, not kept in order.
struct RECT {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
};

struct ClsGradientTestAccess;

// Fills a rectangle with a two-colour linear gradient. The button creates one
// per repaint; it owns nothing but its rectangle.
class clsGradient {
  public:
    // Stores the four values unchanged, as SetRect does: no ordering, no check.
    void DefineRect(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2);

    // Direction 0 runs left to right, 1 top to bottom; StartColor lies at the
    // left or top edge. Colours are 0x00BBGGRR; the top byte is ignored.
    void DrawGradient(QImage& hDC, const std::int32_t& Direction, std::uint32_t StartColor,
                      std::uint32_t EndColor);
    void DrawGradient(Surface& hDC, const std::int32_t& Direction, std::uint32_t StartColor,
                      std::uint32_t EndColor);

    RECT GradRect;

  private:
    friend struct ClsGradientTestAccess;

    // The vertex channel from a colour byte times 256: same low 16 bits, signed.
    static std::int16_t ToColor16(std::int32_t value);
    // One corner of the fill: its point and its colour in 16-bit channels.
    static TRIVERTEX vertexAt(std::int32_t x, std::int32_t y, std::uint32_t color);
};

}  // namespace tessapak::graphics
