#pragma once

#include <QCursor>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>

#include "app/about_window.h"
#include "archive/folder_walk.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/url_opener.h"

class QGroupBox;
class QLabel;
class QLineEdit;

namespace tessapak::controls {
class XPButton;
}

namespace tessapak::app {

class ChromeImage;
class LinkLabel;
class StatusLabel;

// The outside world the windows talk to: Qt's own unless a test scripts it.
// Not owned; each must outlive the windows.
struct Platform {
    platform::MessageBoxes* messages;
    platform::FileDialogs* dialogs;
    platform::UrlOpener* urls;

    static Platform qt();
};

// Where an unload request came from.
inline constexpr int kUnloadFromSystem = 0;  // system menu, Alt+F4, the task bar
inline constexpr int kUnloadFromCode = 1;    // the program itself

// The main window: the unpack panel, the pack panel and the drawn chrome.
// Controls carry their names as object names, so tests find them by name.
class Form1 : public QWidget {
    Q_OBJECT

  public:
    explicit Form1(const Platform& platform = Platform::qt(), QWidget* parent = nullptr);
    ~Form1() override;

    // The two operations, run by jbbtn and dbbtn.
    void UnpackArchive();
    void PackFolder();

    // The busy state: exactly the Enabled state of the six buttons and the
    // close image, in this order. No count, no flag.
    void DisableControls();
    void EnableControls();

    // The dialogs behind the browse buttons; an empty string on cancel.
    QString GetFileName(const QString& filter);
    QString GetFolderName(QWidget* owner, const QString& title);

    // Cancels an unload requested by the program's own code.
    void Form_QueryUnload(bool& cancel, int unloadMode);

    // True while an unpack or pack run is going on (between its input checks
    // and its last message).
    bool isRunning() const { return running_; }
    const archive::PackList& packList() const { return packList_; }
    // The about window while it is open.
    about* aboutWindow() const { return aboutWindow_; }

  signals:
    // The window asked the platform to move it (a press on its bare area).
    void moveRequested();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Form_Load();
    void createPanels();
    void loadButtons();
    void createChrome();
    void chainTabOrder();

    // Click handlers of the six buttons (path_pickers.cpp for the browse ones).
    void jbbtn_Click();
    void dbbtn_Click();
    void jbbtn1_Click();
    void jbbtn2_Click();
    void dbbtn1_Click();
    void dbbtn2_Click();

    // The chrome (window_chrome.cpp).
    void setImage_Click();
    void MinButton_Click();
    void UnLoadMain_Click();
    void QQInstallLabel_Click();
    void OpenURL(const QString& target);
    void endProgram();

    // Dropped paths, taken by the rules of jbbtn1 and dbbtn1.
    bool handleDrop(QObject* target, QEvent* event);
    // jbbtn1's rules for a chosen name; false when the name was refused.
    bool takeArchiveName(QString name);
    void takePackFolder(const QString& folder);

    platform::MessageAnswer showMessage(
        const QString& text, const QString& title, platform::MessageIcon icon,
        platform::MessageButtons buttons = platform::MessageButtons::Ok);
    // Sets a status line and lets the window repaint it: once per file.
    void showProgress(StatusLabel* label, const QString& text);

    void beginRun();
    void endRun();

    Platform platform_;
    QPixmap background_;
    QCursor hHandCursor;
    archive::PackList packList_;

    QGroupBox* jbFrame = nullptr;
    QLineEdit* jbText1 = nullptr;
    QLineEdit* jbText2 = nullptr;
    QLabel* jbLabel2 = nullptr;
    QLabel* jbLabel3 = nullptr;
    StatusLabel* jbLabel = nullptr;
    controls::XPButton* jbbtn1 = nullptr;
    controls::XPButton* jbbtn2 = nullptr;
    controls::XPButton* jbbtn = nullptr;

    QGroupBox* dbFrame = nullptr;
    QLineEdit* dbText1 = nullptr;
    QLineEdit* dbText2 = nullptr;
    QLabel* dbLabel4 = nullptr;
    QLabel* dbLabel5 = nullptr;
    StatusLabel* dbLabel = nullptr;
    controls::XPButton* dbbtn1 = nullptr;
    controls::XPButton* dbbtn2 = nullptr;
    controls::XPButton* dbbtn = nullptr;

    ChromeImage* setImage = nullptr;
    ChromeImage* MinButton = nullptr;
    ChromeImage* UnLoadMain = nullptr;
    LinkLabel* QQInstallLabel = nullptr;

    QPointer<about> aboutWindow_;
    bool running_ = false;
    bool closePending_ = false;
    bool ending_ = false;
};

}  // namespace tessapak::app
