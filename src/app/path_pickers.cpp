// The four browse buttons and the panels' drop targets of Form1.

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <exception>

#include "app/failure_text.h"
#include "app/host_paths.h"
#include "app/main_window.h"
#include "controls/xp_button/xp_button.h"

namespace tessapak::app {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

namespace {

const QString kRdbFilter = QStringLiteral("rdb文件 (*.rdb)");
const QString kFolderTitle = QStringLiteral("选择目录...");

// The one local path of a drag, or nothing when it carries anything else.
QString droppedPath(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1) {
        return {};
    }
    const QUrl url = mime->urls().constFirst();
    if (!url.isLocalFile()) {
        return {};
    }
    QString path = QDir::toNativeSeparators(url.toLocalFile());
    // A folder dragged from a file manager may come with a trailing separator.
    while (path.size() > 1 && path.endsWith(QDir::separator())) {
        path.chop(1);
    }
    return path;
}

}  // namespace

QString Form1::GetFileName(const QString& filter) {
    try {
        return cutAtNul(
            platform_.dialogs->openFileName(this, QStringLiteral("选择一个文件"), filter));
    } catch (const std::exception&) {
        showMessage(QStringLiteral("未知原因导致操作失败！"), QStringLiteral("出错"),
                    MessageIcon::Critical);
        return {};
    }
}

QString Form1::GetFolderName(QWidget* owner, const QString& title) {
    return platform_.dialogs->folderName(owner, title);
}

// jbbtn1's rules after the dialog: the ".rdb" rule, the existence test, then
// both unpack boxes.
bool Form1::takeArchiveName(QString name) {
    name = cutAtNul(name);
    if (!hasRdbExtension(name)) {
        name += QLatin1String(".rdb");
    }
    if (!visibleFileExists(name)) {
        showMessage(QStringLiteral("文件 ") + shownPath(toHostPath(name)) +
                        QStringLiteral(" 不存在，请验证输入是否正确！ "),
                    QStringLiteral("文件不存在"), MessageIcon::Exclamation);
        return false;
    }
    jbText1->setText(name);
    if (jbText1->text() == name) {
        jbText2->setText(containingFolder(name));
    }
    return true;
}

void Form1::takePackFolder(const QString& folder) {
    dbText1->setText(folder);
    dbText2->setText(archiveNameForFolder(dbText1->text()));
}

void Form1::jbbtn1_Click() {
    try {
        for (;;) {
            const QString name = GetFileName(kRdbFilter);
            if (name.isEmpty() || takeArchiveName(name)) {
                return;
            }
        }
    } catch (const std::exception&) {
        showMessage(QStringLiteral("未知错误 "), QStringLiteral("出错"), MessageIcon::Critical);
    }
}

void Form1::jbbtn2_Click() {
    const QString folder = GetFolderName(this, kFolderTitle);
    if (!folder.isEmpty()) {
        jbText2->setText(folder);
    }
}

void Form1::dbbtn1_Click() {
    const QString folder = GetFolderName(this, kFolderTitle);
    if (!folder.isEmpty()) {
        takePackFolder(folder);
    }
}

// A save dialog, so that a new archive can be named; it asks nothing itself,
// and the question below is the only one before a file is replaced. The
// ".rdb" rule comes first, so the question names the file that packing will
// really write, and hidden files count: replacing one unasked would lose it.
void Form1::dbbtn2_Click() {
    try {
        QString name = cutAtNul(
            platform_.dialogs->saveFileName(this, QStringLiteral("选择一个文件"), kRdbFilter));
        if (name.isEmpty()) {
            return;
        }
        if (!hasRdbExtension(name)) {
            name += QLatin1String(".rdb");
        }
        if (anyFileExists(name)) {
            const MessageAnswer answer = showMessage(
                QStringLiteral("是否替换已存在的文件  ") + shownPath(toHostPath(name)),
                QStringLiteral("文件已存在"), MessageIcon::Exclamation, MessageButtons::YesNo);
            if (answer != MessageAnswer::Yes) {
                return;
            }
        }
        dbText2->setText(name);
    } catch (const std::exception&) {
        showMessage(QStringLiteral("未知错误 "), QStringLiteral("出错"), MessageIcon::Critical);
    }
}

// Drops follow the browse buttons: refused while a run has them disabled,
// an archive file on the unpack panel, a folder on the pack panel.
bool Form1::handleDrop(QObject* target, QEvent* event) {
    const bool unpackPanel =
        target == static_cast<QObject*>(jbFrame) || target == jbText1 || target == jbText2;
    const auto accepts = [&](const QMimeData* mime) {
        const QString path = droppedPath(mime);
        if (path.isEmpty()) {
            return false;
        }
        const QFileInfo info(path);
        return unpackPanel ? (jbbtn1->Enabled() && info.isFile())
                           : (dbbtn1->Enabled() && info.isDir());
    };
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (accepts(drag->mimeData())) {
                drag->acceptProposedAction();
                return true;
            }
            // Text dragged onto a path box is still the box's business.
            return false;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!accepts(drop->mimeData())) {
                return false;
            }
            drop->acceptProposedAction();
            const QString path = droppedPath(drop->mimeData());
            if (unpackPanel) {
                takeArchiveName(path);
            } else {
                takePackFolder(path);
            }
            return true;
        }
        default:
            return false;
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            if (handleDrop(watched, event)) {
                return true;
            }
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tessapak::app
