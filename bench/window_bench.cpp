// Times one pack and one unpack run driven through the real main window,
// offscreen, with message boxes answered by the scripted double.
//
//   window_bench <tree-dir> <work-dir>
//
// Packs tree-dir into work-dir/window_bench.rdb through dbText1, dbText2 and
// dbbtn, then unpacks that archive through jbText1, jbText2 and jbbtn into a
// fresh folder under work-dir. Prints "pack_seconds <s>" and
// "unpack_seconds <s>": the wall time of each run, start-up excluded.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <cstdio>

#include "app/main_window.h"
#include "controls/xp_button/xp_button.h"
#include "platform/file_dialog_scripted.h"
#include "platform/message_box_scripted.h"
#include "platform/url_opener_scripted.h"

namespace {

using tessapak::app::MainWindow;
using tessapak::controls::XPButton;

int fail(const QString& why) {
    std::fprintf(stderr, "window_bench: %s\n", why.toLocal8Bit().constData());
    return 1;
}

// Runs one operation by its start button and returns its wall time, or a
// negative value when the run did not end with its success message.
double timedRun(XPButton* start, tessapak::platform::ScriptedMessageBoxes& messages,
                const QString& success) {
    messages.clear();
    QElapsedTimer timer;
    timer.start();
    emit start->Click();
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (messages.shown().size() != 1 || messages.shown()[0].text != success) {
        for (const auto& shown : messages.shown()) {
            std::fprintf(stderr, "window_bench: message: %s\n",
                         shown.text.toLocal8Bit().constData());
        }
        return -1;
    }
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_bench <tree-dir> <work-dir>\n");
        return 2;
    }
    const QString tree = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QDir work(QString::fromLocal8Bit(argv[2]));
    if (!QFileInfo(tree).isDir()) {
        return fail(QStringLiteral("no folder %1").arg(tree));
    }
    if (!work.exists() && !QDir().mkpath(work.path())) {
        return fail(QStringLiteral("cannot create %1").arg(work.path()));
    }
    const QString archive = work.absoluteFilePath(QStringLiteral("window_bench.rdb"));
    QFile::remove(archive);
    QString unpackFolder;
    for (int n = 1;; ++n) {
        unpackFolder = work.absoluteFilePath(QStringLiteral("window_unpack_%1").arg(n));
        if (!QFileInfo::exists(unpackFolder)) {
            break;
        }
    }
    if (!QDir().mkpath(unpackFolder)) {
        return fail(QStringLiteral("cannot create %1").arg(unpackFolder));
    }

    tessapak::platform::ScriptedMessageBoxes messages;
    tessapak::platform::ScriptedFileDialogs dialogs;
    tessapak::platform::ScriptedUrlOpener urls;
    MainWindow form({&messages, &dialogs, &urls});
    form.show();
    QCoreApplication::processEvents();

    form.findChild<QLineEdit*>(QStringLiteral("dbText1"))->setText(tree);
    form.findChild<QLineEdit*>(QStringLiteral("dbText2"))->setText(archive);
    const double pack =
        timedRun(form.findChild<XPButton*>(QStringLiteral("dbbtn")), messages, "打包完成！ ");
    if (pack < 0) {
        return fail(QStringLiteral("the pack run failed"));
    }

    form.findChild<QLineEdit*>(QStringLiteral("jbText1"))->setText(archive);
    form.findChild<QLineEdit*>(QStringLiteral("jbText2"))->setText(unpackFolder);
    const double unpack =
        timedRun(form.findChild<XPButton*>(QStringLiteral("jbbtn")), messages, "解包完成！ ");
    if (unpack < 0) {
        return fail(QStringLiteral("the unpack run failed"));
    }

    std::printf("pack_seconds %.6f\nunpack_seconds %.6f\n", pack, unpack);
    return 0;
}
