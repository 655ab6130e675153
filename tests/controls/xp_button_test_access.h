#pragma once

#include <QTimer>
#include <cstdint>

#include "controls/xp_button/xp_button.h"
#include "graphics/surface.h"

namespace tessapak::controls {

// The tests' door to what the form runtime does behind the public API: the timer
// tick, the paint notification, the flags and the surface the control draws on.
class XPButtonTestAccess {
  public:
    static void tick(XPButton& button) { button.pollPointer(); }
    static void paint(XPButton& button) { button.handlePaint(); }
    static void drawButton(XPButton& button) { button.drawButton(); }
    static const QTimer& timer(const XPButton& button) { return button.hoverTimer_; }
    static std::uint64_t drawCalls(const XPButton& button) { return button.drawButtonCalls_; }
    static graphics::Surface& surface(XPButton& button) { return button.surface_; }
    static const PictureBox& iconPicture(const XPButton& button) { return button.iconPicture_; }
    static const PictureBox& maskPicture(const XPButton& button) { return button.maskPicture_; }

    static void setFlags(XPButton& button, bool pressed, bool mouseOver, bool focus) {
        button.record_.IsPressed = pressed;
        button.record_.IsMouseOver = mouseOver;
        button.record_.HasFocus = focus;
    }
};

}  // namespace tessapak::controls
