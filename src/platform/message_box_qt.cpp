#include <QMessageBox>

#include "platform/message_box.h"

namespace tessapak::platform {

namespace {

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        // Qt has no separate exclamation mark; its warning triangle carries one.
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

class QtMessageBoxes final : public MessageBoxes {
  public:
    MessageAnswer show(QWidget* parent, const QString& text, const QString& title, MessageIcon icon,
                       MessageButtons buttons) override {
        QMessageBox box(qtIcon(icon), title, text, QMessageBox::NoButton, parent);
        // Texts carry file names; one that looks like markup must show as it is.
        box.setTextFormat(Qt::PlainText);
        if (buttons == MessageButtons::YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
        } else {
            box.setStandardButtons(QMessageBox::Ok);
        }
        const int chosen = box.exec();
        if (buttons == MessageButtons::Ok) {
            return MessageAnswer::Ok;
        }
        return chosen == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
};

}  // namespace

MessageBoxes& qtMessageBoxes() {
    static QtMessageBoxes boxes;
    return boxes;
}

}  // namespace tessapak::platform
