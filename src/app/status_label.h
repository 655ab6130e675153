#pragma once

#include <QBasicTimer>
#include <QLabel>
#include <QPalette>
#include <QPoint>
#include <QString>

namespace tessapak::app {

// A panel's one-line status: an opaque label in a system colour that sizes
// itself to its text. An operation gives it a new text for every file; the
// text and the size follow at once, but the label repaints at most once per
// display frame, because repainting it for each of thousands of small files
// would cost more than the files themselves.
class StatusLabel : public QLabel {
    Q_OBJECT

  public:
    // While it has no text, assistive technology hears emptyName (which
    // says whose status it is) rather than the frame's caption.
    StatusLabel(QWidget* parent, const QPoint& position, QPalette::ColorRole background,
                const QString& emptyName = QString());

    void setStatus(const QString& text);

  protected:
    void timerEvent(QTimerEvent* event) override;

  private:
    int frameMilliseconds() const;
    void nameForAssistiveTechnology();

    // Runs for one frame after each repaint that a new text asked for.
    QBasicTimer frame_;
    QString emptyName_;
};

}  // namespace tessapak::app
