#include <QApplication>
#include <QCursor>

#include "platform/pointer.h"

namespace tessapak::platform {

namespace {

class QtPointer final : public Pointer {
  public:
    QPoint position() const override { return QCursor::pos(); }
    QWidget* widgetAt(const QPoint& screenPos) const override {
        return QApplication::widgetAt(screenPos);
    }
};

}  // namespace

Pointer& qtPointer() {
    static QtPointer pointer;
    return pointer;
}

}  // namespace tessapak::platform
