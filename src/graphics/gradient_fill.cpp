#include "graphics/gradient_fill.h"

#include <algorithm>
#include <cstdint>

namespace tessapak::graphics {

namespace {

struct Channels {
    std::int64_t red;
    std::int64_t green;
    std::int64_t blue;
};

Channels channelsOf(const GradientVertex& v) {
    // The 16 bits are read unsigned whatever sign the painter gave them.
    return {static_cast<std::uint16_t>(v.red), static_cast<std::uint16_t>(v.green),
            static_cast<std::uint16_t>(v.blue)};
}

QRgb interpolate(const Channels& c0, const Channels& c1, std::int64_t i, std::int64_t n) {
    auto at = [i, n](std::int64_t a, std::int64_t b) {
        return static_cast<std::uint32_t>((a + (b - a) * i / n) >> 8);
    };
    return qRgb(at(c0.red, c1.red), at(c0.green, c1.green), at(c0.blue, c1.blue));
}

void fillRect(QImage& image, const GradientVertex& upperLeft, const GradientVertex& lowerRight,
              std::int32_t direction) {
    // 64-bit so that a rectangle spanning the whole 32-bit range cannot overflow.
    const std::int64_t left = upperLeft.x;
    const std::int64_t top = upperLeft.y;
    const std::int64_t right = lowerRight.x;
    const std::int64_t bottom = lowerRight.y;
    if (right <= left || bottom <= top) {
        return;
    }
    const std::int64_t x0 = std::max<std::int64_t>(left, 0);
    const std::int64_t y0 = std::max<std::int64_t>(top, 0);
    const std::int64_t x1 = std::min<std::int64_t>(right, image.width());
    const std::int64_t y1 = std::min<std::int64_t>(bottom, image.height());
    if (x1 <= x0 || y1 <= y0) {
        return;
    }
    const Channels c0 = channelsOf(upperLeft);
    const Channels c1 = channelsOf(lowerRight);
    for (std::int64_t y = y0; y < y1; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
        if (direction == kGradientVertical) {
            std::fill(line + x0, line + x1, interpolate(c0, c1, y - top, bottom - top));
        } else {
            for (std::int64_t x = x0; x < x1; ++x) {
                line[x] = interpolate(c0, c1, x - left, right - left);
            }
        }
    }
}

}  // namespace

bool fillGradient(QImage& image, const GradientVertex& upperLeft, const GradientVertex& lowerRight,
                  std::int32_t direction) {
    if (image.isNull()) {
        return false;
    }
    if (direction != kGradientHorizontal && direction != kGradientVertical) {
        return false;
    }
    // Pixels are written as whole 32-bit words; an image in any other layout
    // is brought to one first, keeping its content.
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32) {
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    }
    fillRect(image, upperLeft, lowerRight, direction);
    return true;
}

}  // namespace tessapak::graphics
