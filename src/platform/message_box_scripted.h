#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "platform/message_box.h"

namespace tessapak::platform {

// Message boxes that show nothing: each call is recorded and answered from a
// queue of answers, or with OK / Yes once the queue is empty.
class ScriptedMessageBoxes final : public MessageBoxes {
  public:
    struct Shown {
        QString text;
        QString title;
        MessageIcon icon = MessageIcon::None;
        MessageButtons buttons = MessageButtons::Ok;
    };

    MessageAnswer show(QWidget* /*parent*/, const QString& text, const QString& title,
                       MessageIcon icon, MessageButtons buttons) override {
        shown_.append({text, title, icon, buttons});
        if (onShow_) {
            onShow_(shown_.last());
        }
        if (!answers_.isEmpty()) {
            return answers_.takeFirst();
        }
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }

    void answerNext(MessageAnswer answer) { answers_.append(answer); }
    // Runs while the box would be on the screen, so a test can look at the
    // window the box is modal to.
    void onShow(std::function<void(const Shown&)> hook) { onShow_ = std::move(hook); }

    const QList<Shown>& shown() const { return shown_; }
    void clear() { shown_.clear(); }

  private:
    QList<Shown> shown_;
    QList<MessageAnswer> answers_;
    std::function<void(const Shown&)> onShow_;
};

}  // namespace tessapak::platform
