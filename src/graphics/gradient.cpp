#include "graphics/gradient.h"

#include "graphics/color.h"
#include "graphics/gradient_fill.h"
#include "graphics/surface.h"

namespace tessapak::graphics {

void Gradient::setRect(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
    rect.left = x1;
    rect.top = y1;
    rect.right = x2;
    rect.bottom = y2;
}

GradientVertex Gradient::vertexAt(std::int32_t x, std::int32_t y, std::uint32_t color) {
    GradientVertex vertex;
    vertex.x = x;
    vertex.y = y;
    vertex.red = toChannel16(redOf(color) * 256);
    vertex.green = toChannel16(greenOf(color) * 256);
    vertex.blue = toChannel16(blueOf(color) * 256);
    return vertex;
}

void Gradient::draw(QImage& image, std::int32_t direction, std::uint32_t startColor,
                    std::uint32_t endColor) {
    // The result is not looked at: a refused fill simply leaves the face unpainted.
    fillGradient(image, vertexAt(rect.left, rect.top, startColor),
                 vertexAt(rect.right, rect.bottom, endColor), direction);
}

void Gradient::draw(Surface& surface, std::int32_t direction, std::uint32_t startColor,
                    std::uint32_t endColor) {
    draw(surface.image(), direction, startColor, endColor);
}

std::int16_t Gradient::toChannel16(std::int32_t value) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xFFFF));
}

}  // namespace tessapak::graphics
