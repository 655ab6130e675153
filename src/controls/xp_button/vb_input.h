#pragma once

#include <QString>
#include <Qt>
#include <cstdint>
#include <vector>

class QKeyEvent;

namespace tessapak::controls {

// The form runtime's input values, as the control's events pass them: virtual-key
// codes, the Shift/Ctrl/Alt mask and the mouse-button numbers.

constexpr std::int16_t vbLeftButton = 1;
constexpr std::int16_t vbRightButton = 2;
constexpr std::int16_t vbMiddleButton = 4;

constexpr std::int16_t vbShiftMask = 1;
constexpr std::int16_t vbCtrlMask = 2;
constexpr std::int16_t vbAltMask = 4;

constexpr std::int16_t vbKeySpace = 32;
constexpr std::int16_t vbKeyReturnAscii = 13;

std::int16_t shiftMask(Qt::KeyboardModifiers modifiers);

// The button that changed (MouseDown, MouseUp); 0 for one the form runtime has no number for.
std::int16_t mouseButton(Qt::MouseButton button);
// The buttons held (MouseMove).
std::int16_t mouseButtons(Qt::MouseButtons buttons);

// The virtual-key code of a Qt key, or 0 when the key has none. Shifted
// symbols give the code of the key that carries them on a US layout ('!' is
// the key of '1'), since KeyDown reports keys, not characters.
std::int16_t keyCode(int qtKey, Qt::KeyboardModifiers modifiers);

// The characters a key press types, one KeyAscii each; empty for keys that
// type nothing (arrows, Delete, function keys).
std::vector<std::int16_t> keyAsciis(int qtKey, const QString& text);

}  // namespace tessapak::controls
