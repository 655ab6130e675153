#pragma once

#include <QTimer>
#include <cstdint>

#include "controls/xp_button/xp_button.h"
#include "graphics/surface.h"

namespace tessapak::controls {

// The tests' door to what the host does behind the public API: the timer
// tick, the paint notification, the flags and the surface the control draws on.
class XPButtonTestAccess {
  public:
    static void tick(XPButton& button) { button.tmrCheck_Timer(); }
    static void paint(XPButton& button) { button.UserControl_Paint(); }
    static void drawButton(XPButton& button) { button.DrawButton(); }
    static const QTimer& timer(const XPButton& button) { return button.tmrCheck; }
    static std::uint64_t drawCalls(const XPButton& button) { return button.drawButtonCalls_; }
    static graphics::Surface& surface(XPButton& button) { return button.surface_; }
    static const PictureBox& imgIcon(const XPButton& button) { return button.imgIcon; }
    static const PictureBox& imgMask(const XPButton& button) { return button.imgMask; }

    static void setFlags(XPButton& button, bool pressed, bool mouseOver, bool focus) {
        button.record_.IsPressed = pressed;
        button.record_.IsMouseOver = mouseOver;
        button.record_.HasFocus = focus;
    }
};

}  // namespace tessapak::controls
