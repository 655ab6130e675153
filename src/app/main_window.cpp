#include "app/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

#include "app/about_window.h"
#include "app/accessible_chrome.h"
#include "app/failure_text.h"
#include "app/host_paths.h"
#include "app/status_label.h"
#include "app/stored_form.h"
#include "archive/archive_error.h"
#include "archive/pack.h"
#include "archive/unpack.h"
#include "controls/xp_button/property_bag.h"
#include "controls/xp_button/xp_button.h"

// The pictures and the design data live in a static library, whose resource
// object the linker would drop without this reference.
static void initTessapakResources() {
    Q_INIT_RESOURCE(tessapak);
}

namespace tessapak::app {

using controls::XPButton;
using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

namespace {

const QColor kBackColor(0xE0, 0xE0, 0xE0);
const QColor kPathBoxColor(0xE0, 0xE0, 0xE0);

PanelFrame* makeFrame(QWidget* parent, const char* name, const QString& caption,
                      const QRect& geometry) {
    auto* frame = new PanelFrame(parent, caption, geometry);
    frame->setObjectName(QLatin1String(name));
    return frame;
}

QLineEdit* makePathBox(QWidget* frame, const char* name, const QRect& geometry) {
    auto* box = new QLineEdit(frame);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(geometry);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, kPathBoxColor);
    box->setPalette(palette);
    return box;
}

QLabel* makeLabel(QWidget* frame, const char* name, const QPoint& position,
                  const QString& caption) {
    auto* label = new QLabel(frame);
    label->setObjectName(QLatin1String(name));
    label->move(position);
    setCaption(label, caption);
    return label;
}

// The status lines are opaque in a system colour, unlike the caption labels.
StatusLabel* makeStatusLabel(QWidget* frame, const char* name, const QPoint& position,
                             QPalette::ColorRole background, const QString& emptyName) {
    auto* label = new StatusLabel(frame, position, background, emptyName);
    label->setObjectName(QLatin1String(name));
    return label;
}

// A caption label names its path box for assistive technology; the colon
// belongs to the look, not to the name.
void nameByCaption(QLabel* caption, QLineEdit* box) {
    caption->setBuddy(box);
    QString name = caption->text();
    if (name.endsWith(QLatin1Char(':'))) {
        name.chop(1);
    }
    box->setAccessibleName(name);
}

QString progressText(std::int64_t number, std::int64_t total) {
    return QStringLiteral("文件总数: ") + QString::number(total) + QStringLiteral(" ,正在处理.") +
           QString::number(number);
}

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

const QString kRdbFilter = QStringLiteral("rdb文件 (*.rdb)");

// A failure's status line ends this far left of the panel's start button.
constexpr int kStatusGap = 8;

int statusRoom(const QLabel* status, const QWidget* startButton) {
    return startButton->x() - status->x() - kStatusGap;
}

// text with path in place of %1, cut to the room left of the start button.
QString fittedLine(const QLabel* status, const QWidget* startButton, const QString& text,
                   const QString& path) {
    return fittedStatus(text, path, status->fontMetrics(), statusRoom(status, startButton));
}
const QString kFolderTitle = QStringLiteral("选择目录...");

// The walk's refusal of a root that is missing or not a folder, worded as the
// pack panel words it; empty for any other failure.
QString missingRootText(const archive::ArchiveError& error, const std::filesystem::path& root) {
    if (error.kind() != archive::ErrorKind::FileSystem ||
        error.cause() != archive::ErrorCause::CannotOpen || error.path() != root) {
        return {};
    }
    if (error.code() == std::errc::no_such_file_or_directory) {
        return QStringLiteral("打包目录 %1 不存在");
    }
    if (error.code() == std::errc::not_a_directory) {
        return QStringLiteral("%1 不是目录");
    }
    return {};
}
}  // namespace

Platform Platform::qt() {
    return {&platform::qtMessageBoxes(), &platform::qtFileDialogs(), &platform::qtUrlOpener()};
}

MainWindow::MainWindow(const Platform& platform)
    : PictureWindow(QStringLiteral(":/tessapak/main_background.gif"), QSize(624, 367)),
      platform_(platform) {
    initTessapakResources();
    installAccessibility();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tessapak ") + QLatin1String(kSiteDomain));
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        icon.addFile(QStringLiteral(":/tessapak/icon_%1.png").arg(size), QSize(size, size));
    }
    setWindowIcon(icon);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kBackColor);
    setPalette(palette);
    setAutoFillBackground(true);

    createPanels();
    loadButtons();
    createChrome();
    chainTabOrder();

    connect(unpackPanel_.startButton, &XPButton::Click, this, &MainWindow::unpackArchive);
    connect(packPanel_.startButton, &XPButton::Click, this, &MainWindow::packFolder);
    connect(unpackPanel_.browseArchive, &XPButton::Click, this, &MainWindow::browseForArchive);
    connect(unpackPanel_.browseTarget, &XPButton::Click, this, &MainWindow::browseForTargetFolder);
    connect(packPanel_.browseSource, &XPButton::Click, this, &MainWindow::browseForSourceFolder);
    connect(packPanel_.browseOutput, &XPButton::Click, this, &MainWindow::browseForOutputFile);

    // A drop on a panel fills its two boxes, as its first browse button would.
    for (QWidget* target : std::initializer_list<QWidget*>{
             unpackPanel_.frame, unpackPanel_.archivePath, unpackPanel_.targetFolder,
             packPanel_.frame, packPanel_.sourceFolder, packPanel_.outputPath}) {
        target->setAcceptDrops(true);
        target->installEventFilter(this);
    }

    unpackPanel_.startButton->setFocus();
}

MainWindow::~MainWindow() {
    // The about window has no owner; it must not outlive the program's end.
    delete aboutWindow_.data();
}

void MainWindow::createPanels() {
    UnpackPanel& unpack = unpackPanel_;
    unpack.frame = makeFrame(this, "jbFrame", QStringLiteral("解包"), QRect(42, 53, 537, 129));
    unpack.archivePath = makePathBox(unpack.frame, "jbText1", QRect(127, 26, 270, 23));
    unpack.targetFolder = makePathBox(unpack.frame, "jbText2", QRect(127, 63, 270, 23));
    unpack.archiveCaption =
        makeLabel(unpack.frame, "jbLabel2", QPoint(57, 30), QStringLiteral("皮肤文件:"));
    unpack.targetCaption =
        makeLabel(unpack.frame, "jbLabel3", QPoint(57, 67), QStringLiteral("解出目录:"));
    unpack.status = makeStatusLabel(unpack.frame, "jbLabel", QPoint(63, 99), QPalette::ToolTipBase,
                                    QStringLiteral("解包状态"));
    nameByCaption(unpack.archiveCaption, unpack.archivePath);
    nameByCaption(unpack.targetCaption, unpack.targetFolder);

    PackPanel& pack = packPanel_;
    pack.frame = makeFrame(this, "dbFrame", QStringLiteral("打包"), QRect(42, 196, 537, 129));
    pack.sourceFolder = makePathBox(pack.frame, "dbText1", QRect(127, 24, 270, 23));
    pack.outputPath = makePathBox(pack.frame, "dbText2", QRect(127, 63, 270, 23));
    pack.sourceCaption =
        makeLabel(pack.frame, "dbLabel4", QPoint(56, 31), QStringLiteral("打包目录:"));
    pack.outputCaption =
        makeLabel(pack.frame, "dbLabel5", QPoint(57, 69), QStringLiteral("输出文件:"));
    pack.status = makeStatusLabel(pack.frame, "dbLabel", QPoint(65, 104), QPalette::Button,
                                  QStringLiteral("打包状态"));
    nameByCaption(pack.sourceCaption, pack.sourceFolder);
    nameByCaption(pack.outputCaption, pack.outputPath);
}

// The six buttons come from the window's stored design data, each restored
// through ReadProperties as a loading form restores its controls.
void MainWindow::loadButtons() {
    const QList<StoredControl> stored = readStoredForm(QStringLiteral(":/tessapak/form1.json"));
    for (const StoredControl& control : stored) {
        if (control.classId != QLatin1String(kXPButtonClassId)) {
            continue;
        }
        QWidget* container = this;
        if (control.container == QLatin1String("jbFrame")) {
            container = unpackPanel_.frame;
        } else if (control.container == QLatin1String("dbFrame")) {
            container = packPanel_.frame;
        }
        auto* button = new XPButton(container);
        button->setObjectName(control.name);
        button->setProperty("tabIndex", control.tabIndex);
        button->setGeometry(control.geometry);
        button->setAmbient(control.name, true);
        button->ReadProperties(controls::PropertyBag::fromVariantMap(control.properties));
    }
    const auto find = [this](const char* name) {
        auto* button = findChild<XPButton*>(QLatin1String(name));
        if (button == nullptr) {
            throw std::runtime_error(std::string("the stored design data lacks ") + name);
        }
        return button;
    };
    unpackPanel_.browseArchive = find("jbbtn1");
    unpackPanel_.browseTarget = find("jbbtn2");
    unpackPanel_.startButton = find("jbbtn");
    packPanel_.browseSource = find("dbbtn1");
    packPanel_.browseOutput = find("dbbtn2");
    packPanel_.startButton = find("dbbtn");
}

void MainWindow::createChrome() {
    const auto makeImage = [this](const char* name, const QRect& geometry, const QString& tip) {
        auto* image = new ChromeImage(this, geometry, tip);
        image->setObjectName(QLatin1String(name));
        image->setCursor(Qt::PointingHandCursor);
        return image;
    };
    aboutImage_ = makeImage("setImage", QRect(5, 5, 18, 15), QStringLiteral("配置QQ版本"));
    minimizeImage_ = makeImage("MinButton", QRect(576, 5, 16, 16), QStringLiteral("最小化"));
    closeImage_ = makeImage("UnLoadMain", QRect(599, 4, 21, 19), QStringLiteral("关闭"));
    downloadLink_ = new LinkLabel(this, QPoint(21, 346), QStringLiteral("Morvena透明皮肤工具下载"));
    downloadLink_->setObjectName(QStringLiteral("QQInstallLabel"));
    downloadLink_->setCursor(Qt::PointingHandCursor);
    QPalette palette = downloadLink_->palette();
    palette.setColor(QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    downloadLink_->setPalette(palette);

    connect(aboutImage_, &ChromeImage::Click, this, &MainWindow::showAboutWindow);
    connect(minimizeImage_, &ChromeImage::Click, this, &MainWindow::showMinimized);
    // The close rule refuses an unload from code; the program ends regardless.
    connect(closeImage_, &ChromeImage::Click, this, &MainWindow::endProgram);
    connect(downloadLink_, &LinkLabel::Click, this, &MainWindow::openDownloadPage);
}

// Tab indices count across the whole window; controls that take no focus
// (frames, labels, images) hold indices but are not in the chain.
void MainWindow::chainTabOrder() {
    std::vector<std::pair<int, QWidget*>> stops = {{6, unpackPanel_.archivePath},
                                                   {5, unpackPanel_.targetFolder},
                                                   {15, packPanel_.sourceFolder},
                                                   {14, packPanel_.outputPath}};
    for (XPButton* button :
         {unpackPanel_.browseArchive, unpackPanel_.browseTarget, unpackPanel_.startButton,
          packPanel_.browseSource, packPanel_.browseOutput, packPanel_.startButton}) {
        stops.emplace_back(button->property("tabIndex").toInt(), button);
    }
    std::sort(stops.begin(), stops.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < stops.size(); ++i) {
        QWidget::setTabOrder(stops[i - 1].second, stops[i].second);
    }
}

void MainWindow::disableControls() {
    for (XPButton* button :
         {unpackPanel_.startButton, unpackPanel_.browseArchive, unpackPanel_.browseTarget,
          packPanel_.startButton, packPanel_.browseSource, packPanel_.browseOutput}) {
        button->setEnabled(false);
    }
    closeImage_->setEnabled(false);
}

void MainWindow::enableControls() {
    for (XPButton* button :
         {unpackPanel_.startButton, unpackPanel_.browseArchive, unpackPanel_.browseTarget,
          packPanel_.startButton, packPanel_.browseSource, packPanel_.browseOutput}) {
        button->setEnabled(true);
    }
    closeImage_->setEnabled(true);
}

MessageAnswer MainWindow::showMessage(const QString& text, const QString& title, MessageIcon icon,
                                      MessageButtons buttons) {
    return platform_.messages->show(this, text, title, icon, buttons);
}

void MainWindow::showProgress(StatusLabel* label, const QString& text) {
    label->setStatus(text);
    QCoreApplication::processEvents();
}

// A close request that comes while a run lets events through is kept until
// the run has ended, so the window is never closed under it.
void MainWindow::beginRun() {
    running_ = true;
}

void MainWindow::endRun() {
    running_ = false;
    if (closePending_) {
        closePending_ = false;
        close();
    }
}

// The path a box holds, cleaned; the box then shows it cleaned too.
QString MainWindow::takeCleanedPath(QLineEdit* box) {
    const QString cleaned = cleanedPath(box->text());
    if (cleaned != box->text()) {
        box->setText(cleaned);
    }
    return cleaned;
}

// Refuses a path a run cannot use before the run: a 信息提示 box with what
// is wrong and what to do, and the panel's status line with what is wrong.
// problem has %1 for the path.
void MainWindow::refusePath(bool unpack, const QString& problem, const QString& advice,
                            const QString& path) {
    StatusLabel* const status = unpack ? unpackPanel_.status : packPanel_.status;
    const XPButton* const start = unpack ? unpackPanel_.startButton : packPanel_.startButton;
    const QString shown = shownPath(toHostPath(path));
    status->setStatus(fittedLine(
        status, start,
        (unpack ? QStringLiteral("解包失败：") : QStringLiteral("打包失败：")) + problem, shown));
    showMessage(problem.arg(shown) + advice, QStringLiteral("信息提示"), MessageIcon::Exclamation);
}

void MainWindow::unpackArchive() {
    const QString archiveText = takeCleanedPath(unpackPanel_.archivePath);
    const QString folderText = takeCleanedPath(unpackPanel_.targetFolder);
    if (archiveText.isEmpty()) {
        showMessage(QStringLiteral("皮肤文件不能为空,请先选择文件！ "), QStringLiteral("信息提示"),
                    MessageIcon::Exclamation);
        return;
    }
    if (folderText.isEmpty()) {
        showMessage(QStringLiteral("解出目录不能为空！ "), QStringLiteral("信息提示"),
                    MessageIcon::Exclamation);
        return;
    }
    if (!unpackPathsUsable(archiveText, folderText)) {
        return;
    }

    beginRun();
    disableControls();
    const UnpackOutcome outcome = runUnpack(archiveText, folderText);
    // The archive is closed here, before any message.
    switch (outcome) {
        case UnpackOutcome::Done:
            unpackPanel_.status->setStatus(QStringLiteral("完成解包。"));
            showMessage(QStringLiteral("解包完成！ "), QStringLiteral("成功"), MessageIcon::None);
            break;
        case UnpackOutcome::NotAnArchive:
            showMessage(QStringLiteral("无法识别的文件类型！ "), QStringLiteral("文件不支持"),
                        MessageIcon::Critical);
            break;
        case UnpackOutcome::Failed:
            // The message says no more than this; the status line says what failed.
            showMessage(QStringLiteral("解包失败！ 未知错误 "), QStringLiteral("出错"),
                        MessageIcon::Critical);
            break;
    }
    enableControls();
    endRun();
}

// What can be seen before anything is opened: a missing archive or one that
// is a folder, a target folder that is missing or a file.
bool MainWindow::unpackPathsUsable(const QString& archiveText, const QString& folderText) {
    const QFileInfo archive(archiveText);
    const QFileInfo folder(folderText);
    if (archive.isDir()) {
        refusePath(true, QStringLiteral("皮肤文件 %1 是一个文件夹"),
                   QStringLiteral("，请选择 .rdb 文件！ "), archiveText);
    } else if (!archive.exists()) {
        refusePath(true, QStringLiteral("皮肤文件 %1 不存在"), QStringLiteral("，请检查路径！ "),
                   archiveText);
    } else if (!folder.exists()) {
        refusePath(true, QStringLiteral("解出目录 %1 不存在"), QStringLiteral("，请检查路径！ "),
                   folderText);
    } else if (!folder.isDir()) {
        refusePath(true, QStringLiteral("解出目录 %1 不是文件夹"), QStringLiteral("！ "),
                   folderText);
    } else {
        return true;
    }
    return false;
}

// The engine's part of an unpack run. A failure sets the status line to what
// failed; a file that is not an archive leaves it as it was.
MainWindow::UnpackOutcome MainWindow::runUnpack(const QString& archiveText,
                                                const QString& folderText) {
    StatusLabel* const status = unpackPanel_.status;
    const QString failed = QStringLiteral("解包失败：");
    try {
        // The reader opens read-only and tests the magic; it validates the
        // whole directory before extractTo creates anything.
        archive::ArchiveReader reader(toHostPath(archiveText));
        showProgress(status, QStringLiteral("开始解包..."));
        reader.readDirectory();
        reader.extractTo(toHostPath(folderText), [this](std::int64_t number, std::int64_t total) {
            showProgress(unpackPanel_.status, progressText(number, total));
        });
        return UnpackOutcome::Done;
    } catch (const archive::ArchiveError& error) {
        if (error.kind() == archive::ErrorKind::NotAnArchive) {
            return UnpackOutcome::NotAnArchive;
        }
        status->setStatus(failureStatus(failed, error, status->fontMetrics(),
                                        statusRoom(status, unpackPanel_.startButton)));
    } catch (const std::bad_alloc&) {
        status->setStatus(failed + QStringLiteral("内存不足"));
    } catch (const std::exception&) {
        status->setStatus(failed + QStringLiteral("未知错误"));
    }
    return UnpackOutcome::Failed;
}

void MainWindow::packFolder() {
    // Every click starts from an empty list, whatever an earlier run left.
    packList_.reset();
    const QString rootText = takeCleanedPath(packPanel_.sourceFolder);
    const QString outputText = takeCleanedPath(packPanel_.outputPath);
    if (rootText.isEmpty()) {
        showMessage(QStringLiteral("目录不能为空，请先选择打包目录！ "), QStringLiteral("信息提示"),
                    MessageIcon::Exclamation);
        return;
    }
    if (outputText.isEmpty()) {
        showMessage(QStringLiteral("输出文件不能为空！ "), QStringLiteral("信息提示"),
                    MessageIcon::Exclamation);
        return;
    }
    const QString output = archiveNameFor(outputText);
    if (!outputUsable(outputText, output)) {
        return;
    }

    beginRun();
    disableControls();
    showProgress(packPanel_.status, QStringLiteral("开始打包..."));
    const QString failure = runPack(rootText, output);
    if (failure.isEmpty()) {
        packList_.reset();
        packPanel_.status->setStatus(QStringLiteral("完成打包。"));
        showMessage(QStringLiteral("打包完成！ "), QStringLiteral("成功"), MessageIcon::None);
    } else {
        showMessage(QStringLiteral("打包失败！未知错误 ") + failure, QStringLiteral("出错"),
                    MessageIcon::Critical);
    }
    enableControls();
    endRun();
}

// An output that names a folder would give a strange archive beside or
// inside it; an existing file is replaced only when the user said so, here
// or for this very name in the save dialog.
bool MainWindow::outputUsable(const QString& outputText, const QString& output) {
    if (endsWithSeparator(outputText)) {
        refusePath(false, QStringLiteral("输出文件 %1 没有文件名"),
                   QStringLiteral("，请输入 .rdb 文件的名称！ "), outputText);
        return false;
    }
    if (QFileInfo(outputText).isDir() || QFileInfo(output).isDir()) {
        refusePath(false, QStringLiteral("输出文件 %1 是一个文件夹"),
                   QStringLiteral("，请输入 .rdb 文件的名称！ "),
                   QFileInfo(outputText).isDir() ? outputText : output);
        return false;
    }
    if (anyFileExists(output) && output != confirmedOutput_) {
        const MessageAnswer answer = showMessage(
            QStringLiteral("是否替换已存在的文件  ") + shownPath(toHostPath(output)),
            QStringLiteral("文件已存在"), MessageIcon::Exclamation, MessageButtons::YesNo);
        if (answer != MessageAnswer::Yes) {
            return false;
        }
        confirmedOutput_ = output;
    }
    return true;
}

// The engine's part of a pack run: empty on success, else the description
// for the failure message; the status line then says what failed.
QString MainWindow::runPack(const QString& rootText, const QString& output) {
    StatusLabel* const status = packPanel_.status;
    const XPButton* const start = packPanel_.startButton;
    const QString failed = QStringLiteral("打包失败：");
    const std::filesystem::path root = toHostPath(rootText);
    try {
        const std::filesystem::path archive = toHostPath(output);
        // The archive being written is never packed into itself.
        archive::packFolder(root, packList_, archive,
                            [this](std::int64_t number, std::int64_t total) {
                                showProgress(packPanel_.status, progressText(number, total));
                            });
        return {};
    } catch (const archive::ArchiveError& error) {
        if (const QString text = missingRootText(error, root); !text.isEmpty()) {
            // An empty archive for a mistyped folder would pass for a success.
            const QString shown = shownPath(root);
            status->setStatus(fittedLine(status, start, failed + text, shown));
            return text.arg(shown);
        }
        status->setStatus(
            failureStatus(failed, error, status->fontMetrics(), statusRoom(status, start)));
        return describePackFailure(error);
    } catch (const std::bad_alloc&) {
        status->setStatus(failed + QStringLiteral("内存不足"));
        return QStringLiteral("内存不足");
    } catch (const std::exception& error) {
        const QString message = shownMessage(error.what());
        status->setStatus(fittedLine(status, start, failed + QStringLiteral("%1"), message));
        return message;
    }
}

QString MainWindow::askFileName(const QString& filter) {
    try {
        return cutAtNul(
            platform_.dialogs->openFileName(this, QStringLiteral("选择一个文件"), filter));
    } catch (const std::exception&) {
        showMessage(QStringLiteral("未知原因导致操作失败！"), QStringLiteral("出错"),
                    MessageIcon::Critical);
        return {};
    }
}

QString MainWindow::askFolderName(const QString& title) {
    return platform_.dialogs->folderName(this, title);
}

// The archive browse button's rules after the dialog: the ".rdb" rule, the existence test, then
// both unpack boxes.
bool MainWindow::takeArchiveName(QString name) {
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
    unpackPanel_.archivePath->setText(name);
    if (unpackPanel_.archivePath->text() == name) {
        unpackPanel_.targetFolder->setText(containingFolder(name));
    }
    return true;
}

void MainWindow::takeSourceFolder(const QString& folder) {
    packPanel_.sourceFolder->setText(folder);
    packPanel_.outputPath->setText(archiveNameForFolder(packPanel_.sourceFolder->text()));
}

void MainWindow::browseForArchive() {
    try {
        for (;;) {
            const QString name = askFileName(kRdbFilter);
            if (name.isEmpty() || takeArchiveName(name)) {
                return;
            }
        }
    } catch (const std::exception&) {
        showMessage(QStringLiteral("未知错误 "), QStringLiteral("出错"), MessageIcon::Critical);
    }
}

void MainWindow::browseForTargetFolder() {
    const QString folder = askFolderName(kFolderTitle);
    if (!folder.isEmpty()) {
        unpackPanel_.targetFolder->setText(folder);
    }
}

void MainWindow::browseForSourceFolder() {
    const QString folder = askFolderName(kFolderTitle);
    if (!folder.isEmpty()) {
        takeSourceFolder(folder);
    }
}

// A save dialog, so that a new archive can be named; it asks nothing itself,
// and the question below is the only one before a file is replaced. The
// ".rdb" rule comes first, so the question names the file that packing will
// really write, and hidden files count: replacing one unasked would lose it.
void MainWindow::browseForOutputFile() {
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
            confirmedOutput_ = name;
        }
        packPanel_.outputPath->setText(name);
    } catch (const std::exception&) {
        showMessage(QStringLiteral("未知错误 "), QStringLiteral("出错"), MessageIcon::Critical);
    }
}

// Drops follow the browse buttons: refused while a run has them disabled;
// an archive (a file ending in ".rdb") on the unpack panel, a folder on the
// pack panel. A refused file drag is refused on the path boxes too, so the
// cursor says no there as well, instead of the box taking the path as text.
bool MainWindow::handleDrop(QObject* target, QEvent* event) {
    const bool unpackPanel = target == static_cast<QObject*>(unpackPanel_.frame) ||
                             target == unpackPanel_.archivePath ||
                             target == unpackPanel_.targetFolder;
    const auto accepts = [&](const QString& path) {
        if (path.isEmpty()) {
            return false;
        }
        const QFileInfo info(path);
        return unpackPanel ? (unpackPanel_.browseArchive->Enabled() && info.isFile() &&
                              hasRdbExtension(path))
                           : (packPanel_.browseSource->Enabled() && info.isDir());
    };
    if (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove &&
        event->type() != QEvent::Drop) {
        return false;
    }
    auto* drop = static_cast<QDropEvent*>(event);
    if (!drop->mimeData()->hasUrls()) {
        // Text dragged onto a path box is still the box's business.
        return false;
    }
    const QString path = droppedPath(drop->mimeData());
    if (!accepts(path)) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (event->type() == QEvent::Drop) {
        if (unpackPanel) {
            takeArchiveName(path);
        } else {
            takeSourceFolder(path);
        }
    }
    return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
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

void MainWindow::showAboutWindow() {
    if (aboutWindow_ == nullptr) {
        aboutWindow_ = new AboutWindow(*platform_.urls);
    }
    aboutWindow_->show();
    aboutWindow_->raise();
    aboutWindow_->activateWindow();
}

// Whether a browser took the address is not shown: nothing happens otherwise.
void MainWindow::openDownloadPage() {
    platform_.urls->open(QUrl(siteAddress(QStringLiteral("/qq/"))));
}

// Every window goes, without further close questions, and the event loop ends.
void MainWindow::endProgram() {
    ending_ = true;
    if (aboutWindow_ != nullptr) {
        aboutWindow_->close();
    }
    close();
    QCoreApplication::quit();
}

bool MainWindow::refusesUnload(int unloadMode) {
    return unloadMode == kUnloadFromCode;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (ending_) {
        event->accept();
        return;
    }
    if (refusesUnload(kUnloadFromSystem)) {
        event->ignore();
        return;
    }
    if (running_) {
        closePending_ = true;
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace tessapak::app
