#pragma once

namespace tessapak::app {

// Registers, once per process, what assistive technology sees of the two
// windows, their windowless chrome and their buttons: each PictureWindow is a
// window, a ChromeImage a push button named by its tool tip, a LinkLabel a
// link named by its caption (pressing either is its click), and an XPButton
// what controls/xp_button/accessible_xp_button.h makes of it. Every window
// calls it before it makes its controls.
void installAccessibility();

}  // namespace tessapak::app
