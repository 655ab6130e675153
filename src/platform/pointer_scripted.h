#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/pointer.h"

namespace tessapak::platform {

// A pointer whose position and widget-at-point answers a test sets by hand.
// The widget is held weakly, so a closed window stops being "under" the point.
class ScriptedPointer final : public Pointer {
  public:
    void moveTo(const QPoint& screenPos, QWidget* widgetThere) {
        position_ = screenPos;
        widget_ = widgetThere;
    }

    QPoint position() const override { return position_; }
    QWidget* widgetAt(const QPoint& screenPos) const override {
        return screenPos == position_ ? widget_.data() : nullptr;
    }

  private:
    QPoint position_;
    QPointer<QWidget> widget_;
};

}  // namespace tessapak::platform
