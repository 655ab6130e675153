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

void clsGradient::DrawGradient(QImage& hDC, const std::int32_t& Direction, std::uint32_t StartColor,
                               std::uint32_t EndColor) {
    TRIVERTEX vert[2];
    vert[0].x = GradRect.Left;
    vert[0].y = GradRect.Top;
    vert[0].Red = ToColor16(redOf(StartColor) * 256);
    vert[0].Green = ToColor16(greenOf(StartColor) * 256);
    vert[0].Blue = ToColor16(blueOf(StartColor) * 256);
    vert[0].Alpha = 0;
    vert[1].x = GradRect.Right;
    vert[1].y = GradRect.Bottom;
    vert[1].Red = ToColor16(redOf(EndColor) * 256);
    vert[1].Green = ToColor16(greenOf(EndColor) * 256);
    vert[1].Blue = ToColor16(blueOf(EndColor) * 256);
    vert[1].Alpha = 0;
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
