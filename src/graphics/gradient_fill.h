#pragma once

#include <QImage>
#include <cstdint>

namespace tessapak::graphics {

// Our own stand-in for msimg32's GradientFill, with its records and modes.

constexpr std::uint32_t GRADIENT_FILL_RECT_H = 0;  // colour changes left to right
constexpr std::uint32_t GRADIENT_FILL_RECT_V = 1;  // colour changes top to bottom

// Channels carry the 8-bit colour byte in the high byte. They are signed as
// the painter builds them; the fill reads the same 16 bits unsigned.
struct TRIVERTEX {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int16_t Red = 0;
    std::int16_t Green = 0;
    std::int16_t Blue = 0;
    std::int16_t Alpha = 0;
};

struct GRADIENT_RECT {
    std::uint32_t UpperLeft = 0;
    std::uint32_t LowerRight = 0;
};

// Fills each mesh rectangle from vertex UpperLeft (included) to vertex
// LowerRight (excluded), clipped to the image. A rectangle whose right lies
// left of its left, or whose bottom lies above its top, paints nothing.
//
// Interpolation, per channel c (16 bits, unsigned) along the chosen axis, for
// pixel i of n (i = 0 at the left or top edge, n = width or height):
//     c(i) = c0 + (c1 - c0) * i / n     (integer division, towards zero)
// and the pixel's byte is the high byte of c(i). So the first row or column
// is exactly the start colour, and the end colour is reached at the excluded
// edge. Alpha is not used: the target is opaque.
//
// Returns false, painting nothing, for a null image, a vertex index out of
// range or a mode other than the two rectangle modes.
bool GradientFill(QImage& hdc, const TRIVERTEX* pVertex, std::uint32_t nVertex,
                  const GRADIENT_RECT* pMesh, std::uint32_t nMesh, std::uint32_t ulMode);

}  // namespace tessapak::graphics
