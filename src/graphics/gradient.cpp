#include "graphics/gradient.h"

#include "graphics/color.h"
#include "graphics/gradient_fill.h"
#include "graphics/surface.h"

namespace tessapak::graphics {

void clsGradient::DefineRect(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2) {
    GradRect.Left = X1;
    GradRect.Top = Y1;
    GradRect.Right = X2;
    GradRect.Bottom = Y2;
}

TRIVERTEX clsGradient::vertexAt(std::int32_t x, std::int32_t y, std::uint32_t color) {
    TRIVERTEX vertex;
    vertex.x = x;
    vertex.y = y;
    vertex.Red = ToColor16(redOf(color) * 256);
    vertex.Green = ToColor16(greenOf(color) * 256);
    vertex.Blue = ToColor16(blueOf(color) * 256);
    vertex.Alpha = 0;
    return vertex;
}

void clsGradient::DrawGradient(QImage& hDC, const std::int32_t& Direction, std::uint32_t StartColor,
                               std::uint32_t EndColor) {
    TRIVERTEX vert[2] = {vertexAt(GradRect.Left, GradRect.Top, StartColor),
                         vertexAt(GradRect.Right, GradRect.Bottom, EndColor)};
    const GRADIENT_RECT gRect{0, 1};
    // The result is not looked at: a refused fill simply leaves the face unpainted.
    GradientFill(hDC, vert, 2, &gRect, 1, static_cast<std::uint32_t>(Direction));
}

void clsGradient::DrawGradient(Surface& hDC, const std::int32_t& Direction,
                               std::uint32_t StartColor, std::uint32_t EndColor) {
    DrawGradient(hDC.image(), Direction, StartColor, EndColor);
}

std::int16_t clsGradient::ToColor16(std::int32_t value) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xFFFF));
}

}  // namespace tessapak::graphics
