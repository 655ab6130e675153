#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "app/main_window.h"
#include "app/window_chrome.h"
#include "controls/xp_button/xp_button.h"
#include "platform/file_dialog_scripted.h"
#include "platform/message_box_scripted.h"
#include "platform/url_opener_scripted.h"

namespace tessapak::app::testing {

// Runs a callback each time the window lets the event loop run inside an
// operation. It is a posted event that posts itself again: Qt delivers the
// events posted before a pump in that pump, and keeps the re-posted one for
// the next, so the callback runs once per pump.
class PumpRecorder : public QObject {
  public:
    explicit PumpRecorder(std::function<void()> onPump) : onPump_(std::move(onPump)) {}
    ~PumpRecorder() override { stop(); }

    void start() {
        active_ = true;
        post();
    }
    void stop() { active_ = false; }

  protected:
    void customEvent(QEvent* /*event*/) override {
        if (!active_) {
            return;
        }
        onPump_();
        post();
    }

  private:
    void post() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }

    std::function<void()> onPump_;
    bool active_ = false;
};

// What the window showed at one moment of a run.
struct Snapshot {
    QString jbLabel;
    QString dbLabel;
    QList<bool> enabled;  // the seven busy-state controls, in their order
    bool visible = false;
    bool running = false;
    bool labelsFit = false;  // both status lines at the size of their text
};

// A real main window with scripted dialogs, message boxes and browser, and a
// temporary folder for trees and archives.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    template <typename T>
    T* control(const char* name) const {
        T* found = form->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLineEdit* box(const char* name) const { return control<QLineEdit>(name); }
    QLabel* label(const char* name) const { return control<QLabel>(name); }
    controls::XPButton* button(const char* name) const { return control<controls::XPButton>(name); }
    ChromeImage* image(const char* name) const { return control<ChromeImage>(name); }

    // A left click in the middle of a control, as the user makes it.
    static void click(QWidget* widget);

    // In the host's own form, as the window shows paths ("\" on Windows).
    QString path(const QString& relative) const {
        return QDir::toNativeSeparators(dir.filePath(relative));
    }
    void writeFile(const QString& relative, const QByteArray& bytes) const;
    QByteArray readFile(const QString& relative) const;
    bool exists(const QString& relative) const;
    // The tree of the format's worked example: a.txt "abc" and img/b.png "hi".
    void writeExampleTree(const QString& relative) const;
    // An archive of a tree, written by the engine.
    void packTree(const QString& treeRelative, const QString& archiveRelative) const;

    // The run showed exactly one message box, with an OK button only.
    void expectOnlyMessage(const QString& text, const QString& title,
                           platform::MessageIcon icon) const;

    Snapshot snapshot() const;
    // Records a snapshot at every pump and at every message box.
    void recordRun();
    QList<Snapshot> pumps;
    QList<Snapshot> atMessages;

    QTemporaryDir dir;
    platform::ScriptedMessageBoxes messages;
    platform::ScriptedFileDialogs dialogs;
    platform::ScriptedUrlOpener urls;
    std::unique_ptr<MainWindow> form;
    std::unique_ptr<PumpRecorder> recorder;
};

// The distinct values in order, each run of equal neighbours taken once.
QStringList withoutRepeats(const QStringList& values);
// The status texts seen while an operation ran, repeats taken once.
QStringList jbLabels(const QList<Snapshot>& snapshots);
QStringList dbLabels(const QList<Snapshot>& snapshots);
// True when every snapshot taken during a run has all seven controls disabled.
bool allBusy(const QList<Snapshot>& snapshots);

}  // namespace tessapak::app::testing
