#include "window_fixture.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include "app/host_paths.h"
#include "archive/pack.h"

namespace tessapak::app::testing {

void WindowTest::SetUp() {
    ASSERT_TRUE(dir.isValid());
    form = std::make_unique<MainWindow>(Platform{&messages, &dialogs, &urls});
}

void WindowTest::TearDown() {
    if (recorder) {
        recorder->stop();
    }
    form.reset();
    // Windows closed with WA_DeleteOnClose go at the next deferred delete.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void WindowTest::click(QWidget* widget) {
    ASSERT_NE(widget, nullptr);
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

void WindowTest::writeFile(const QString& relative, const QByteArray& bytes) const {
    const QString full = path(relative);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(full).path()));
    QFile file(full);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray WindowTest::readFile(const QString& relative) const {
    QFile file(path(relative));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << relative.toStdString();
        return {};
    }
    return file.readAll();
}

bool WindowTest::exists(const QString& relative) const {
    return QFileInfo::exists(path(relative));
}

void WindowTest::writeExampleTree(const QString& relative) const {
    writeFile(relative + "/a.txt", "abc");
    writeFile(relative + "/img/b.png", "hi");
}

void WindowTest::packTree(const QString& treeRelative, const QString& archiveRelative) const {
    QDir().mkpath(QFileInfo(path(archiveRelative)).path());
    archive::packFolder(toHostPath(path(treeRelative)), toHostPath(path(archiveRelative)));
}

void WindowTest::expectOnlyMessage(const QString& text, const QString& title,
                                   platform::MessageIcon icon) const {
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown()[0].text, text);
    EXPECT_EQ(messages.shown()[0].title, title);
    EXPECT_EQ(messages.shown()[0].icon, icon);
    EXPECT_EQ(messages.shown()[0].buttons, platform::MessageButtons::Ok);
}

Snapshot WindowTest::snapshot() const {
    Snapshot shot;
    shot.jbLabel = label("jbLabel")->text();
    shot.dbLabel = label("dbLabel")->text();
    for (const char* name : {"jbbtn", "jbbtn1", "jbbtn2", "dbbtn", "dbbtn1", "dbbtn2"}) {
        shot.enabled.append(button(name)->Enabled());
    }
    shot.enabled.append(image("UnLoadMain")->isEnabled());
    shot.visible = form->isVisible();
    shot.running = form->isRunning();
    const auto fits = [](const QLabel* line) {
        return line->text().isEmpty() ? line->size() == QSize(6, 12)
                                      : line->size() == line->sizeHint();
    };
    shot.labelsFit = fits(label("jbLabel")) && fits(label("dbLabel"));
    return shot;
}

void WindowTest::recordRun() {
    recorder = std::make_unique<PumpRecorder>([this] { pumps.append(snapshot()); });
    recorder->start();
    messages.onShow(
        [this](const platform::ScriptedMessageBoxes::Shown&) { atMessages.append(snapshot()); });
}

QStringList withoutRepeats(const QStringList& values) {
    QStringList result;
    for (const QString& value : values) {
        if (result.isEmpty() || result.last() != value) {
            result.append(value);
        }
    }
    return result;
}

QStringList jbLabels(const QList<Snapshot>& snapshots) {
    QStringList labels;
    for (const Snapshot& shot : snapshots) {
        if (shot.running) {
            labels.append(shot.jbLabel);
        }
    }
    return withoutRepeats(labels);
}

QStringList dbLabels(const QList<Snapshot>& snapshots) {
    QStringList labels;
    for (const Snapshot& shot : snapshots) {
        if (shot.running) {
            labels.append(shot.dbLabel);
        }
    }
    return withoutRepeats(labels);
}

bool allBusy(const QList<Snapshot>& snapshots) {
    for (const Snapshot& shot : snapshots) {
        if (shot.running && shot.enabled.contains(true)) {
            return false;
        }
    }
    return true;
}

}  // namespace tessapak::app::testing
