#pragma once

#include <QImage>
#include <QRect>
#include <cstdint>

#include "graphics/color.h"

namespace tessapak::testing {

// The pixel at (x, y) as the control's colour, 0x00BBGGRR.
inline std::uint32_t colourAt(const QImage& image, int x, int y) {
    return graphics::fromRgb(image.pixel(x, y));
}

// Smallest rectangle holding every pixel that differs from the background.
inline QRect inkBounds(const QImage& image, std::uint32_t background) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (colourAt(image, x, y) != background) {
                bounds = bounds.united(QRect(x, y, 1, 1));
            }
        }
    }
    return bounds;
}

inline int countColour(const QImage& image, std::uint32_t colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += colourAt(image, x, y) == colour ? 1 : 0;
        }
    }
    return n;
}

// Every pixel of row y, columns x0 to x1 - 1, has the colour.
inline bool rowIs(const QImage& image, int y, int x0, int x1, std::uint32_t colour) {
    for (int x = x0; x < x1; ++x) {
        if (colourAt(image, x, y) != colour) {
            return false;
        }
    }
    return true;
}

inline bool columnIs(const QImage& image, int x, int y0, int y1, std::uint32_t colour) {
    for (int y = y0; y < y1; ++y) {
        if (colourAt(image, x, y) != colour) {
            return false;
        }
    }
    return true;
}

}  // namespace tessapak::testing
