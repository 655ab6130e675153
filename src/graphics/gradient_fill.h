#pragma once

#include <QImage>
#include <cstdint>

namespace tessapak::graphics {

// The two directions a gradient runs in, as the button stores them.
inline constexpr std::int32_t kGradientHorizontal = 0;  // colour changes left to right
inline constexpr std::int32_t kGradientVertical = 1;    // colour changes top to bottom

// One corner of a gradient: a point and 16-bit colour channels that carry the
// 8-bit colour byte in the high byte. They are signed as the painter builds
// them; the fill reads the same 16 bits unsigned.
struct GradientVertex {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int16_t red = 0;
    std::int16_t green = 0;
    std::int16_t blue = 0;
};

// Fills the rectangle from upperLeft (included) to lowerRight (excluded),
// clipped to the image. A rectangle whose right lies left of its left, or
// whose bottom lies above its top, paints nothing.
//
// Interpolation, per channel c (16 bits, unsigned) along the chosen axis, for
// pixel i of n (i = 0 at the left or top edge, n = width or height):
//     c(i) = c0 + (c1 - c0) * i / n     (integer division, towards zero)
// and the pixel's byte is the high byte of c(i). So the first row or column
// is exactly the start colour, and the end colour is reached at the excluded
// edge. The target is opaque.
//
// Returns false, painting nothing, for a null image or a direction other
// than the two above.
bool fillGradient(QImage& image, const GradientVertex& upperLeft, const GradientVertex& lowerRight,
                  std::int32_t direction);

}  // namespace tessapak::graphics
