#include <QClipboard>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QSpacerItem>

#include "platform/message_box.h"

namespace tessapak::platform {

namespace {

// Room beside the title in a frame's title bar: the window icon and up to
// three frame buttons. Qt sizes a box by its text alone, and a short text
// under a short title ("成功") leaves a box so narrow that the title bar
// has no room left for the title.
constexpr int kTitleBarRoom = 170;

// A zero-width space: a place where a line may break, drawn as nothing.
constexpr QChar kBreakHint(0x200B);

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

// Line breaking finds no place inside a path written with "\" (nor after a
// "/" before a digit), so a long path would run past the box, or Qt would
// cut it anywhere, even inside a name. After each separator it may break.
QString withBreaksAfterSeparators(const QString& text) {
    QString shown;
    shown.reserve(text.size() + text.size() / 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        shown.append(text[i]);
        const bool separator = text[i] == QLatin1Char('\\') || text[i] == QLatin1Char('/');
        if (separator && i + 1 < text.size() && !text[i + 1].isSpace()) {
            shown.append(kBreakHint);
        }
    }
    return shown;
}

// Where Ctrl+C copies the box's title and text (on Windows), the break hints
// are not part of the text and must not end up in a path pasted elsewhere.
class CopyWithoutBreakHints final : public QObject {
  public:
    bool eventFilter(QObject* box, QEvent* event) override {
        if (event->type() != QEvent::KeyPress ||
            !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
            return false;
        }
        QClipboard* clipboard = QGuiApplication::clipboard();
        const QString before = clipboard->text();
        box->event(event);
        const QString copied = clipboard->text();
        if (copied != before && copied.contains(kBreakHint)) {
            clipboard->setText(QString(copied).remove(kBreakHint));
        }
        return true;
    }
};

// Keeps the box at least as wide as its title needs in a title bar.
void fitTitle(QMessageBox& box, const QString& title) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr) {
        return;
    }
    const QFontMetrics metrics(QGuiApplication::font());
    const int width = metrics.horizontalAdvance(title) + kTitleBarRoom;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

class QtMessageBoxes final : public MessageBoxes {
  public:
    MessageAnswer show(QWidget* parent, const QString& text, const QString& title, MessageIcon icon,
                       MessageButtons buttons) override {
        QMessageBox box(qtIcon(icon), title, withBreaksAfterSeparators(text), QMessageBox::NoButton,
                        parent);
        // Texts carry file names; one that looks like markup must show as it is.
        box.setTextFormat(Qt::PlainText);
        if (buttons == MessageButtons::YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
        } else {
            box.setStandardButtons(QMessageBox::Ok);
        }
        fitTitle(box, title);
        CopyWithoutBreakHints copy;
        box.installEventFilter(&copy);
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
