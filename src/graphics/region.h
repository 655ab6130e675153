#pragma once

#include <QRegion>
#include <cstdint>
#include <vector>

namespace tessapak::graphics {

// One row of a rounded rectangle: columns x0 up to but not including x1.
struct RowSpan {
    int y = 0;
    int x0 = 0;
    int x1 = 0;
};

// The rows of the rounded rectangle (left, top) to (right, bottom), right and
// bottom excluded, whose corners are quarters of an ellipse of w x h pixels.
// A pixel belongs to the shape when its centre does. An ellipse narrower or
// lower than 2 pixels gives a plain rectangle; one larger than the box is cut
// to it. The region and the outline are both built from this, so the outline
// of a box never reaches outside the region of the same or a larger box.
std::vector<RowSpan> roundRectSpans(std::int32_t left, std::int32_t top, std::int32_t right,
                                    std::int32_t bottom, std::int32_t w, std::int32_t h);

// The window shape gdi32's CreateRoundRectRgn gives: like it, this covers the
// box one pixel smaller at the right and the bottom (right - 1, bottom - 1,
// both excluded), so it ends where RoundRect(left, top, right - 1, bottom - 1)
// draws its outline.
QRegion roundRectRegion(std::int32_t left, std::int32_t top, std::int32_t right,
                        std::int32_t bottom, std::int32_t w, std::int32_t h);

}  // namespace tessapak::graphics
