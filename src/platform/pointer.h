#pragma once

#include <QPoint>

class QWidget;

namespace tessapak::platform {

// Where the pointer is and which widget lies topmost under a screen point.
// The button's hover poll asks only this, so tests can script the answers.
class Pointer {
  public:
    virtual ~Pointer() = default;

    // The pointer's position in screen pixels (GetCursorPos).
    virtual QPoint position() const = 0;
    // The innermost widget of this application lying topmost at a screen
    // point, or nullptr when another application's window or no window is
    // there (WindowFromPoint). Shapes set with setMask count: a point in a cut
    // corner belongs to whatever lies beneath.
    virtual QWidget* widgetAt(const QPoint& screenPos) const = 0;
};

// The real pointer, through QCursor and QApplication. It holds no state, so
// one shared instance serves every control.
Pointer& qtPointer();

}  // namespace tessapak::platform
