#pragma once

#include <QAccessibleWidget>

namespace tessapak::controls {

class XPButton;

// What assistive technology sees of an XPButton: a push button named by its
// Caption, disabled while Enabled is False (the widget itself stays enabled),
// whose press action is the form runtime's click, so a disabled button ignores it.
class AccessibleXPButton : public QAccessibleWidget {
  public:
    explicit AccessibleXPButton(XPButton* button);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

  private:
    XPButton* button() const;
};

// Registers the interface with Qt's accessibility once per process; the
// program calls it before it makes its first button.
void installAccessibleXPButton();

}  // namespace tessapak::controls
