#include <QClipboard>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QSpacerItem>
#include <utility>

#include "platform/message_box.h"

namespace tessapak::platform {

namespace {

// Room beside the title in a frame's title bar: the window icon and up to
// three frame buttons. Qt sizes a box by its text alone, and a short text
// under a short title ("成功") leaves a box so narrow that the title bar
// has no room left for the title.
constexpr int kTitleBarRoom = 170;

// The widest a path may run on one line of a box before it is broken: below
// the width Qt gives a box's text on a small screen.
constexpr int kPathLineWidth = 400;

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
// cut it anywhere, even inside a name. A word too wide for a line is broken
// here with real line breaks, after a separator where one fits, so that no
// invisible character ends up in the text a user copies or hears.
QString breakLongWords(const QString& text, const QFontMetrics& metrics) {
    QString shown;
    shown.reserve(text.size() + 8);
    qsizetype lineStart = 0;   // in shown
    qsizetype lastBreak = -1;  // in shown: just after the last separator
    for (const QChar c : text) {
        if (c.isSpace()) {
            lineStart = shown.size() + 1;
            lastBreak = -1;
        }
        shown.append(c);
        if (c.isSpace()) {
            continue;
        }
        if (metrics.horizontalAdvance(shown.mid(lineStart)) > kPathLineWidth &&
            shown.size() - lineStart > 1) {
            const qsizetype at = lastBreak > lineStart ? lastBreak : shown.size() - 1;
            shown.insert(at, QLatin1Char('\n'));
            lineStart = at + 1;
            lastBreak = -1;
        }
        if (c == QLatin1Char('\\') || c == QLatin1Char('/')) {
            lastBreak = shown.size();
        }
    }
    return shown;
}

// Where Ctrl+C copies the box's title and text (on Windows), the breaks put
// into a long path are not part of it and must not end up in a path pasted
// elsewhere.
class CopyTheTextAsGiven final : public QObject {
  public:
    CopyTheTextAsGiven(QString shown, QString given)
        : shown_(std::move(shown)), given_(std::move(given)) {}

    bool eventFilter(QObject* box, QEvent* event) override {
        if (event->type() != QEvent::KeyPress ||
            !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
            return false;
        }
        QClipboard* clipboard = QGuiApplication::clipboard();
        const QString before = clipboard->text();
        box->event(event);
        const QString copied = clipboard->text();
        if (copied != before && shown_ != given_ && copied.contains(shown_)) {
            clipboard->setText(QString(copied).replace(shown_, given_));
        }
        return true;
    }

  private:
    QString shown_;
    QString given_;
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
        const QString shown = breakLongWords(text, QFontMetrics(QGuiApplication::font()));
        QMessageBox box(qtIcon(icon), title, shown, QMessageBox::NoButton, parent);
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
        CopyTheTextAsGiven copy(shown, text);
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
