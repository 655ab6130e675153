#include "app/accessible_chrome.h"

#include <QAccessibleWidget>

#include "app/window_chrome.h"
#include "controls/xp_button/accessible_xp_button.h"

namespace tessapak::app {

namespace {

// The common part: a role, a name the control supplies and a press action
// that takes the same way as a click with the mouse.
template <typename Control>
class AccessibleChrome : public QAccessibleWidget {
  public:
    AccessibleChrome(Control* control, QAccessible::Role role) : QAccessibleWidget(control, role) {}

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& actionName) override {
        if (actionName != pressAction()) {
            QAccessibleWidget::doAction(actionName);
            return;
        }
        // Later, from the event loop, as a click comes: what it opens must
        // not hold the assistive technology's call. A disabled control gets
        // no mouse, so it takes no press either.
        Control* const target = control();
        QMetaObject::invokeMethod(
            target,
            [target] {
                if (target->isEnabled()) {
                    emit target->Click();
                }
            },
            Qt::QueuedConnection);
    }

  protected:
    Control* control() const { return static_cast<Control*>(widget()); }
};

class AccessibleChromeImage : public AccessibleChrome<ChromeImage> {
  public:
    explicit AccessibleChromeImage(ChromeImage* image)
        : AccessibleChrome(image, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return widget()->toolTip();
        }
        // The tool tip is already the name; saying it twice helps no one.
        if (t == QAccessible::Description && widget()->accessibleDescription().isEmpty()) {
            return {};
        }
        return AccessibleChrome::text(t);
    }
};

class AccessibleLinkLabel : public AccessibleChrome<LinkLabel> {
  public:
    explicit AccessibleLinkLabel(LinkLabel* label) : AccessibleChrome(label, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return control()->text();
        }
        return AccessibleChrome::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State state = AccessibleChrome::state();
        state.linked = true;
        return state;
    }
};

QAccessibleInterface* accessibleFactory(const QString& className, QObject* object) {
    // Top-level windows, not anonymous panes.
    if (className == QLatin1String(PictureWindow::staticMetaObject.className()) &&
        object->isWidgetType()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    }
    if (className == QLatin1String(ChromeImage::staticMetaObject.className())) {
        if (auto* image = qobject_cast<ChromeImage*>(object)) {
            return new AccessibleChromeImage(image);
        }
    } else if (className == QLatin1String(LinkLabel::staticMetaObject.className())) {
        if (auto* label = qobject_cast<LinkLabel*>(object)) {
            return new AccessibleLinkLabel(label);
        }
    }
    return nullptr;
}

}  // namespace

void installAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
    controls::installAccessibleXPButton();
}

}  // namespace tessapak::app
