#include "app/status_label.h"

#include <QScreen>
#include <QTimerEvent>
#include <algorithm>
#include <cmath>

#include "app/window_chrome.h"

namespace tessapak::app {

StatusLabel::StatusLabel(QWidget* parent, const QPoint& position, QPalette::ColorRole background,
                         const QString& emptyName)
    : QLabel(parent), emptyName_(emptyName) {
    move(position);
    // Held at the size of its text: a new text of the same size then asks
    // no layout of the frame, which costs as much as the text itself.
    setFixedSize(6, 12);
    setCaption(this, QString());
    setBackgroundRole(background);
    setAutoFillBackground(true);
    nameForAssistiveTechnology();
}

// An empty label would otherwise be named after its frame ("解包"); one with a
// text is named by it.
void StatusLabel::nameForAssistiveTechnology() {
    const QString name = text().isEmpty() ? emptyName_ : QString();
    if (accessibleName() != name) {
        setAccessibleName(name);
    }
}

void StatusLabel::setStatus(const QString& text) {
    if (frame_.isActive()) {
        // Inside the frame of the last repaint: the text changes, its repaint
        // waits for the frame's end.
        setUpdatesEnabled(false);
    } else {
        frame_.start(frameMilliseconds(), Qt::PreciseTimer, this);
    }
    setCaption(this, text);
    nameForAssistiveTechnology();
}

void StatusLabel::timerEvent(QTimerEvent* event) {
    if (event->timerId() != frame_.timerId()) {
        QLabel::timerEvent(event);
        return;
    }
    if (updatesEnabled()) {
        // Nothing waited during this frame.
        frame_.stop();
        return;
    }
    // Shows the latest text; the timer runs on for the frame this repaint opens.
    setUpdatesEnabled(true);
}

int StatusLabel::frameMilliseconds() const {
    const QScreen* const shown = screen();
    const double rate = shown != nullptr && shown->refreshRate() > 1 ? shown->refreshRate() : 60;
    // Rounded up: a frame of 16 ms at 60 Hz would repaint a little more
    // often than the screen shows.
    return std::max(1, static_cast<int>(std::ceil(1000 / rate)));
}

}  // namespace tessapak::app
