#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QWidget>

#include "app/failure_text.h"
#include "app/host_paths.h"
#include "archive/archive_error.h"
#include "archive/unpack.h"
#include "platform/message_box.h"

namespace tessapak::app {

namespace {

// A file manager may hand over an archive by its content rather than by its
// name; opening it tests the magic and nothing more.
bool startsLikeAnArchive(const QString& path) {
    try {
        archive::ArchiveReader reader(toHostPath(path));
        return true;
    } catch (const archive::ArchiveError&) {
        return false;
    }
}

QLineEdit* pathBox(QWidget& window, const char* name) {
    return window.findChild<QLineEdit*>(QLatin1String(name));
}

}  // namespace

QString startArgument(const QCoreApplication& application) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Packs a folder into an RDB skin archive and unpacks one."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("path"),
                                 QStringLiteral("An archive to look into or a folder to pack."),
                                 QStringLiteral("[ARCHIVE.rdb | FOLDER]"));
    parser.process(application);
    const QStringList paths = parser.positionalArguments();
    // A file manager starts one window per file, so a second path is not
    // expected; the first one is taken.
    return paths.isEmpty() ? QString() : paths.constFirst();
}

StartPath classifyStartPath(const QString& argument) {
    if (argument.isEmpty()) {
        return {};
    }
    const QFileInfo info(QDir::fromNativeSeparators(argument));
    const QString path = QDir::toNativeSeparators(QDir::cleanPath(info.absoluteFilePath()));
    if (info.isDir()) {
        return {StartPath::Kind::Folder, path};
    }
    if (info.isFile()) {
        const bool archive = hasRdbExtension(path) || startsLikeAnArchive(path);
        return {archive ? StartPath::Kind::Archive : StartPath::Kind::Unusable, path};
    }
    return {info.exists() ? StartPath::Kind::Unusable : StartPath::Kind::Missing, path};
}

void openStartPath(QWidget& window, const StartPath& start, platform::MessageBoxes& messages,
                   const std::function<void(const QString&)>& showArchive) {
    const QString shown = shownPath(toHostPath(start.path));
    const auto refuse = [&](const QString& text) {
        messages.show(&window, text, QStringLiteral("无法打开"), platform::MessageIcon::Exclamation,
                      platform::MessageButtons::Ok);
    };
    switch (start.kind) {
        case StartPath::Kind::None:
            return;
        case StartPath::Kind::Archive: {
            QLineEdit* archiveBox = pathBox(window, "jbText1");
            archiveBox->setText(start.path);
            if (archiveBox->text() == start.path) {
                pathBox(window, "jbText2")->setText(containingFolder(start.path));
            }
            if (showArchive) {
                showArchive(start.path);
            }
            return;
        }
        case StartPath::Kind::Folder: {
            QLineEdit* folderBox = pathBox(window, "dbText1");
            folderBox->setText(start.path);
            pathBox(window, "dbText2")->setText(archiveNameForFolder(folderBox->text()));
            return;
        }
        case StartPath::Kind::Missing:
            refuse(QStringLiteral("找不到 ") + shown + QStringLiteral(" ，请检查路径是否正确。 "));
            return;
        case StartPath::Kind::Unusable:
            refuse(shown + QStringLiteral(" 既不是 rdb 皮肤文件，也不是文件夹，无法打开。 "));
            return;
    }
}

}  // namespace tessapak::app
