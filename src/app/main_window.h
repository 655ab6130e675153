#pragma once

#include <QPointer>
#include <QString>

#include "app/about_window.h"
#include "app/window_chrome.h"
#include "archive/folder_walk.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/url_opener.h"

class QLineEdit;

namespace tessapak::controls {
class XPButton;
}

namespace tessapak::app {

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

// The 解包 (unpack) panel. The object names in comments are the controls'
// objectNames, by which tests and the stored design data find them.
struct UnpackPanel {
    PanelFrame* frame = nullptr;                  // jbFrame
    QLineEdit* archivePath = nullptr;             // jbText1, 皮肤文件
    QLineEdit* targetFolder = nullptr;            // jbText2, 解出目录
    QLabel* archiveCaption = nullptr;             // jbLabel2
    QLabel* targetCaption = nullptr;              // jbLabel3
    StatusLabel* status = nullptr;                // jbLabel
    controls::XPButton* browseArchive = nullptr;  // jbbtn1
    controls::XPButton* browseTarget = nullptr;   // jbbtn2
    controls::XPButton* startButton = nullptr;    // jbbtn, 开始解包
};

// The 打包 (pack) panel, named as above.
struct PackPanel {
    PanelFrame* frame = nullptr;                 // dbFrame
    QLineEdit* sourceFolder = nullptr;           // dbText1, 打包目录
    QLineEdit* outputPath = nullptr;             // dbText2, 输出文件
    QLabel* sourceCaption = nullptr;             // dbLabel4
    QLabel* outputCaption = nullptr;             // dbLabel5
    StatusLabel* status = nullptr;               // dbLabel
    controls::XPButton* browseSource = nullptr;  // dbbtn1
    controls::XPButton* browseOutput = nullptr;  // dbbtn2
    controls::XPButton* startButton = nullptr;   // dbbtn, 开始打包
};

// The main window: the unpack panel, the pack panel and the drawn chrome.
class MainWindow : public PictureWindow {
    Q_OBJECT

  public:
    explicit MainWindow(const Platform& platform = Platform::qt());
    ~MainWindow() override;

    // The two operations, run by the panels' start buttons.
    void unpackArchive();
    void packFolder();

    // The busy state: exactly the Enabled state of the six buttons and the
    // close image, in this order. No count, no flag.
    void disableControls();
    void enableControls();

    // The close rule: an unload asked for by the program's own code is
    // refused (the close image then ends the program regardless).
    static bool refusesUnload(int unloadMode);

    // True while an unpack or pack run is going on (between its input checks
    // and its last message).
    bool isRunning() const { return running_; }
    const archive::PackList& packList() const { return packList_; }
    // The about window while it is open.
    AboutWindow* aboutWindow() const { return aboutWindow_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createPanels();
    void loadButtons();
    void createChrome();
    void chainTabOrder();

    // The browse buttons.
    void browseForArchive();
    void browseForTargetFolder();
    void browseForSourceFolder();
    void browseForOutputFile();
    // The dialogs behind them; an empty string on cancel.
    QString askFileName(const QString& filter);
    QString askFolderName(const QString& title);
    // The archive rules for a chosen name; false when the name was refused.
    bool takeArchiveName(QString name);
    void takeSourceFolder(const QString& folder);
    // Dropped paths, taken by the same rules as the first browse buttons.
    bool handleDrop(QObject* target, QEvent* event);

    // The chrome.
    void showAboutWindow();
    void openDownloadPage();
    void endProgram();

    // The runs' steps.
    enum class UnpackOutcome { Done, NotAnArchive, Failed };
    QString takeCleanedPath(QLineEdit* box);
    void refusePath(bool unpack, const QString& problem, const QString& advice,
                    const QString& path);
    bool unpackPathsUsable(const QString& archiveText, const QString& folderText);
    UnpackOutcome runUnpack(const QString& archiveText, const QString& folderText);
    bool outputUsable(const QString& outputText, const QString& output);
    QString runPack(const QString& rootText, const QString& output);

    platform::MessageAnswer showMessage(
        const QString& text, const QString& title, platform::MessageIcon icon,
        platform::MessageButtons buttons = platform::MessageButtons::Ok);
    // Sets a status line and lets the window repaint it: once per file.
    void showProgress(StatusLabel* label, const QString& text);

    void beginRun();
    void endRun();

    Platform platform_;
    archive::PackList packList_;
    UnpackPanel unpackPanel_;
    PackPanel packPanel_;
    ChromeImage* aboutImage_ = nullptr;     // setImage
    ChromeImage* minimizeImage_ = nullptr;  // MinButton
    ChromeImage* closeImage_ = nullptr;     // UnLoadMain
    LinkLabel* downloadLink_ = nullptr;     // QQInstallLabel

    // The output name the user agreed to replace, in the save dialog or at
    // the question before a pack run.
    QString confirmedOutput_;
    QPointer<AboutWindow> aboutWindow_;
    bool running_ = false;
    bool closePending_ = false;
    bool ending_ = false;
};

}  // namespace tessapak::app
