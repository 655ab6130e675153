#include "controls/xp_button/accessible_xp_button.h"

#include <QKeySequence>

#include "controls/xp_button/xp_button.h"

namespace tessapak::controls {

namespace {

QAccessibleInterface* accessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(XPButton::staticMetaObject.className())) {
        if (auto* button = qobject_cast<XPButton*>(object)) {
            return new AccessibleXPButton(button);
        }
    }
    return nullptr;
}

}  // namespace

AccessibleXPButton::AccessibleXPButton(XPButton* button)
    : QAccessibleWidget(button, QAccessible::Button) {}

XPButton* AccessibleXPButton::button() const {
    return static_cast<XPButton*>(widget());
}

QString AccessibleXPButton::text(QAccessible::Text t) const {
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
        return button()->Caption();
    }
    return QAccessibleWidget::text(t);
}

QAccessible::State AccessibleXPButton::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    if (!button()->Enabled()) {
        state.disabled = true;
    }
    state.pressed = button()->record().IsPressed;
    return state;
}

// Pressing comes first: it is the default action.
QStringList AccessibleXPButton::actionNames() const {
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
}

void AccessibleXPButton::doAction(const QString& actionName) {
    if (actionName == pressAction()) {
        // Later, from the event loop: a Click that opens a message box would
        // otherwise hold the assistive technology's call until it closes.
        XPButton* const target = button();
        QMetaObject::invokeMethod(
            target, [target] { target->handleClick(); }, Qt::QueuedConnection);
        return;
    }
    QAccessibleWidget::doAction(actionName);
}

QStringList AccessibleXPButton::keyBindingsForAction(const QString& actionName) const {
    if (actionName == pressAction()) {
        return {QKeySequence(Qt::Key_Return).toString()};
    }
    return QAccessibleWidget::keyBindingsForAction(actionName);
}

void installAccessibleXPButton() {
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

}  // namespace tessapak::controls
