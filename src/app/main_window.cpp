#include "app/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <algorithm>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "app/about_window.h"
#include "app/failure_text.h"
#include "app/host_paths.h"
#include "app/stored_form.h"
#include "app/window_chrome.h"
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

QGroupBox* makeFrame(QWidget* parent, const char* name, const QString& caption,
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
QLabel* makeStatusLabel(QWidget* frame, const char* name, const QPoint& position,
                        QPalette::ColorRole background) {
    QLabel* label = makeLabel(frame, name, position, QString());
    label->setBackgroundRole(background);
    label->setAutoFillBackground(true);
    return label;
}

QString progressText(std::int64_t number, std::int64_t total) {
    return QStringLiteral("文件总数: ") + QString::number(total) + QStringLiteral(" ,正在处理.") +
           QString::number(number);
}

}  // namespace

Platform Platform::qt() {
    return {&platform::qtMessageBoxes(), &platform::qtFileDialogs(), &platform::qtUrlOpener()};
}

Form1::Form1(const Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), platform_(platform) {
    initTessapakResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tessapak ") + QLatin1String(kHost));
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        icon.addFile(QStringLiteral(":/tessapak/icon_%1.png").arg(size), QSize(size, size));
    }
    setWindowIcon(icon);
    setFixedSize(624, 367);
    setFont(windowFont());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kBackColor);
    setPalette(palette);
    setAutoFillBackground(true);
    background_.load(QStringLiteral(":/tessapak/main_background.gif"));

    createPanels();
    loadButtons();
    createChrome();
    chainTabOrder();
    Form_Load();

    connect(jbbtn, &XPButton::Click, this, &Form1::jbbtn_Click);
    connect(dbbtn, &XPButton::Click, this, &Form1::dbbtn_Click);
    connect(jbbtn1, &XPButton::Click, this, &Form1::jbbtn1_Click);
    connect(jbbtn2, &XPButton::Click, this, &Form1::jbbtn2_Click);
    connect(dbbtn1, &XPButton::Click, this, &Form1::dbbtn1_Click);
    connect(dbbtn2, &XPButton::Click, this, &Form1::dbbtn2_Click);

    // A drop on a panel fills its two boxes, as its first browse button would.
    for (QWidget* target :
         std::initializer_list<QWidget*>{jbFrame, jbText1, jbText2, dbFrame, dbText1, dbText2}) {
        target->setAcceptDrops(true);
        target->installEventFilter(this);
    }

    jbbtn->setFocus();
}

Form1::~Form1() {
    // The about window has no owner; it must not outlive the program's end.
    delete aboutWindow_.data();
}

void Form1::Form_Load() {
    hHandCursor = QCursor(Qt::PointingHandCursor);
    for (QWidget* control :
         std::initializer_list<QWidget*>{MinButton, UnLoadMain, setImage, QQInstallLabel}) {
        control->setCursor(hHandCursor);
    }
}

void Form1::createPanels() {
    jbFrame = makeFrame(this, "jbFrame", QStringLiteral("解包"), QRect(42, 53, 537, 129));
    jbText1 = makePathBox(jbFrame, "jbText1", QRect(127, 26, 270, 23));
    jbText2 = makePathBox(jbFrame, "jbText2", QRect(127, 63, 270, 23));
    jbLabel2 = makeLabel(jbFrame, "jbLabel2", QPoint(57, 30), QStringLiteral("皮肤文件:"));
    jbLabel3 = makeLabel(jbFrame, "jbLabel3", QPoint(57, 67), QStringLiteral("解出目录:"));
    jbLabel = makeStatusLabel(jbFrame, "jbLabel", QPoint(63, 99), QPalette::ToolTipBase);

    dbFrame = makeFrame(this, "dbFrame", QStringLiteral("打包"), QRect(42, 196, 537, 129));
    dbText1 = makePathBox(dbFrame, "dbText1", QRect(127, 24, 270, 23));
    dbText2 = makePathBox(dbFrame, "dbText2", QRect(127, 63, 270, 23));
    dbLabel4 = makeLabel(dbFrame, "dbLabel4", QPoint(56, 31), QStringLiteral("打包目录:"));
    dbLabel5 = makeLabel(dbFrame, "dbLabel5", QPoint(57, 69), QStringLiteral("输出文件:"));
    dbLabel = makeStatusLabel(dbFrame, "dbLabel", QPoint(65, 104), QPalette::Button);
}

// The six buttons come from the window's stored design data, each restored
// through ReadProperties as a loading form restores its controls.
void Form1::loadButtons() {
    const QList<StoredControl> stored = readStoredForm(QStringLiteral(":/tessapak/form1.json"));
    for (const StoredControl& control : stored) {
        if (control.classId != QLatin1String(kXPButtonClassId)) {
            continue;
        }
        QWidget* container = this;
        if (control.container == QLatin1String("jbFrame")) {
            container = jbFrame;
        } else if (control.container == QLatin1String("dbFrame")) {
            container = dbFrame;
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
    jbbtn1 = find("jbbtn1");
    jbbtn2 = find("jbbtn2");
    jbbtn = find("jbbtn");
    dbbtn1 = find("dbbtn1");
    dbbtn2 = find("dbbtn2");
    dbbtn = find("dbbtn");
}

// Tab indices count across the whole window; controls that take no focus
// (frames, labels, images) hold indices but are not in the chain.
void Form1::chainTabOrder() {
    std::vector<std::pair<int, QWidget*>> stops = {
        {6, jbText1}, {5, jbText2}, {15, dbText1}, {14, dbText2}};
    for (XPButton* button : {jbbtn1, jbbtn2, jbbtn, dbbtn1, dbbtn2, dbbtn}) {
        stops.emplace_back(button->property("tabIndex").toInt(), button);
    }
    std::sort(stops.begin(), stops.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < stops.size(); ++i) {
        QWidget::setTabOrder(stops[i - 1].second, stops[i].second);
    }
}

void Form1::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, background_);
}

void Form1::DisableControls() {
    jbbtn->setEnabled(false);
    jbbtn1->setEnabled(false);
    jbbtn2->setEnabled(false);
    dbbtn->setEnabled(false);
    dbbtn1->setEnabled(false);
    dbbtn2->setEnabled(false);
    UnLoadMain->setEnabled(false);
}

void Form1::EnableControls() {
    jbbtn->setEnabled(true);
    jbbtn1->setEnabled(true);
    jbbtn2->setEnabled(true);
    dbbtn->setEnabled(true);
    dbbtn1->setEnabled(true);
    dbbtn2->setEnabled(true);
    UnLoadMain->setEnabled(true);
}

MessageAnswer Form1::showMessage(const QString& text, const QString& title, MessageIcon icon,
                                 MessageButtons buttons) {
    return platform_.messages->show(this, text, title, icon, buttons);
}

void Form1::showProgress(QLabel* label, const QString& text) {
    setCaption(label, text);
    QCoreApplication::processEvents();
}

// A close request that comes while a run lets events through is kept until
// the run has ended, so the window is never closed under it.
void Form1::beginRun() {
    running_ = true;
}

void Form1::endRun() {
    running_ = false;
    if (closePending_) {
        closePending_ = false;
        close();
    }
}

void Form1::jbbtn_Click() {
    UnpackArchive();
}

void Form1::dbbtn_Click() {
    PackFolder();
}

void Form1::UnpackArchive() {
    const QString archiveText = jbText1->text();
    const QString folderText = jbText2->text();
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

    beginRun();
    DisableControls();
    enum class Outcome { Done, NotAnArchive, Failed } outcome = Outcome::Failed;
    try {
        // The reader opens read-only and tests the magic; it validates the
        // whole directory before extractTo creates anything.
        archive::ArchiveReader reader(toHostPath(archiveText));
        showProgress(jbLabel, QStringLiteral("开始解包..."));
        reader.readDirectory();
        reader.extractTo(toHostPath(folderText), [this](std::int64_t number, std::int64_t total) {
            showProgress(jbLabel, progressText(number, total));
        });
        outcome = Outcome::Done;
    } catch (const archive::ArchiveError& error) {
        outcome = error.kind() == archive::ErrorKind::NotAnArchive ? Outcome::NotAnArchive
                                                                   : Outcome::Failed;
    } catch (const std::exception&) {
        outcome = Outcome::Failed;
    }
    // The archive is closed here, before any message.

    switch (outcome) {
        case Outcome::Done:
            setCaption(jbLabel, QStringLiteral("完成解包。"));
            showMessage(QStringLiteral("解包完成！ "), QStringLiteral("成功"), MessageIcon::None);
            break;
        case Outcome::NotAnArchive:
            showMessage(QStringLiteral("无法识别的文件类型！ "), QStringLiteral("文件不支持"),
                        MessageIcon::Critical);
            break;
        case Outcome::Failed:
            showMessage(QStringLiteral("解包失败！ 未知错误 "), QStringLiteral("出错"),
                        MessageIcon::Critical);
            break;
    }
    EnableControls();
    endRun();
}

void Form1::PackFolder() {
    // Every click starts from an empty list, whatever an earlier run left.
    packList_.reset();
    const QString rootText = dbText1->text();
    const QString outputText = dbText2->text();
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

    beginRun();
    DisableControls();
    const std::filesystem::path root = toHostPath(rootText);
    const std::filesystem::path output = archive::archivePathFor(toHostPath(outputText));
    showProgress(dbLabel, QStringLiteral("开始打包..."));

    QString failure;
    std::error_code ec;
    if (!std::filesystem::is_directory(root, ec)) {
        // An empty archive for a mistyped folder would pass for a success.
        const QString shown = QDir::toNativeSeparators(rootText);
        failure = std::filesystem::exists(root, ec)
                      ? QStringLiteral("%1 不是目录").arg(shown)
                      : QStringLiteral("打包目录 %1 不存在").arg(shown);
    } else {
        try {
            const QString separator = QDir::separator();
            packList_.RootLen = rootText.size() + (rootText.endsWith(separator) ? 0 : 1);
            // The archive being written is never packed into itself.
            archive::ListFiles(root, packList_, {output});
            archive::writeArchive(root, packList_, output,
                                  [this](std::int64_t number, std::int64_t total) {
                                      showProgress(dbLabel, progressText(number, total));
                                  });
        } catch (const archive::ArchiveError& error) {
            failure = describePackFailure(error);
        } catch (const std::bad_alloc&) {
            failure = QStringLiteral("内存不足");
        } catch (const std::exception& error) {
            // The engine's own texts are UTF-8 on every host.
            failure = QString::fromUtf8(error.what());
        }
    }

    if (failure.isEmpty()) {
        packList_.reset();
        setCaption(dbLabel, QStringLiteral("完成打包。"));
        showMessage(QStringLiteral("打包完成！ "), QStringLiteral("成功"), MessageIcon::None);
    } else {
        showMessage(QStringLiteral("打包失败！未知错误 ") + failure, QStringLiteral("出错"),
                    MessageIcon::Critical);
    }
    EnableControls();
    endRun();
}

void Form1::Form_QueryUnload(bool& cancel, int unloadMode) {
    if (unloadMode == kUnloadFromCode) {
        cancel = true;
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    if (ending_) {
        event->accept();
        return;
    }
    bool cancel = false;
    Form_QueryUnload(cancel, kUnloadFromSystem);
    if (cancel) {
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
