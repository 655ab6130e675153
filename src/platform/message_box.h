#pragma once

#include <QString>

class QWidget;

namespace tessapak::platform {

// The icons a message box of this program can carry: none, the critical
// (stop) sign for failures, and the exclamation mark for input checks.
enum class MessageIcon { None, Critical, Exclamation };

// OK alone, or Yes and No with Yes as the default.
enum class MessageButtons { Ok, YesNo };

enum class MessageAnswer { Ok, Yes, No };

// Modal message boxes. The windows ask only this, so tests can answer them.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;

    // Shows a modal box over parent and returns the button the user chose.
    // Closing a Yes/No box without choosing counts as No.
    virtual MessageAnswer show(QWidget* parent, const QString& text, const QString& title,
                               MessageIcon icon, MessageButtons buttons) = 0;
};

// Qt's message box. It holds no state, so one shared instance serves all.
MessageBoxes& qtMessageBoxes();

}  // namespace tessapak::platform
