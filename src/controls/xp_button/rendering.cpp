#include <QPainter>

#include "controls/xp_button/xp_button.h"
#include "graphics/region.h"

namespace tessapak::controls {

void XPButton::DrawButton() {
    ++drawButtonCalls_;
    const int W = surface_.width();
    const int H = surface_.height();
    applyShape(
        graphics::CreateRoundRectRgn(0, 0, W, H, record_.RoundedValue, record_.RoundedValue));
    QPainter painter(&surface_.image());
    painter.fillRect(0, 0, W, H, record_.Enabled ? QColor(0xF0F0EA) : QColor(0xF5F4EA));
    painter.setFont(surface_.font());
    painter.drawText(QRect(0, 0, W, H), Qt::AlignCenter, record_.Caption);
    painter.end();
    if (!inPaintEvent_) {
        update();
    }
}

}  // namespace tessapak::controls
