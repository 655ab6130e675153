#pragma once

#include <QImage>
#include <cstdint>

namespace tessapak::graphics {

class Surface;
struct GradientVertex;

// A rectangle as four signed 32-bit edges, not kept in order.
struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

struct GradientTestAccess;

// Fills a rectangle with a two-colour linear gradient. The button creates one
// per repaint; it owns nothing but its rectangle.
class Gradient {
  public:
    // Stores the four values unchanged: no ordering, no check.
    void setRect(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);

    // Direction kGradientHorizontal or kGradientVertical (gradient_fill.h);
    // startColor lies at the left or top edge. Colours are 0x00BBGGRR; the
    // top byte is ignored.
    void draw(QImage& image, std::int32_t direction, std::uint32_t startColor,
              std::uint32_t endColor);
    void draw(Surface& surface, std::int32_t direction, std::uint32_t startColor,
              std::uint32_t endColor);

    Rect rect;

  private:
    friend struct GradientTestAccess;

    // The vertex channel from a colour byte times 256: same low 16 bits, signed.
    static std::int16_t toChannel16(std::int32_t value);
    // One corner of the fill: its point and its colour in 16-bit channels.
    static GradientVertex vertexAt(std::int32_t x, std::int32_t y, std::uint32_t color);
};

}  // namespace tessapak::graphics
