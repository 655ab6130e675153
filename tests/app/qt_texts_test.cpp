#include <QAbstractFileIconProvider>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/qt_translations.h"
#include "platform/message_box.h"
#include "window_fixture.h"

namespace tessapak::app::testing {
namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

bool startsWithHan(const QString& text) {
    return !text.isEmpty() && text[0].script() == QChar::Script_Han;
}

// Shows a real message box and looks at it from inside its own loop.
MessageAnswer showAndLook(const QString& text, const QString& title, MessageButtons buttons,
                          const std::function<void(QMessageBox&)>& look) {
    QTimer::singleShot(0, [&look] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        look(*box);
        box->reject();
    });
    return platform::qtMessageBoxes().show(nullptr, text, title, MessageIcon::Exclamation, buttons);
}

class QtTexts : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(installQtTranslations());
    }
};

TEST_F(QtTexts, MessageBoxesAndContextMenusAreChineseAndYesStaysTheDefault) {
    const QString path = QStringLiteral("D:\\skins\\out.rdb");
    const MessageAnswer answer =
        showAndLook(QStringLiteral("是否替换已存在的文件  ") + path, QStringLiteral("文件已存在"),
                    MessageButtons::YesNo, [](QMessageBox& box) {
                        EXPECT_TRUE(startsWithHan(box.button(QMessageBox::Yes)->text()))
                            << box.button(QMessageBox::Yes)->text().toStdString();
                        EXPECT_TRUE(startsWithHan(box.button(QMessageBox::No)->text()));
                        EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::Yes));
                    });
    EXPECT_EQ(answer, MessageAnswer::No);
    showAndLook(QStringLiteral("打包完成！ "), QStringLiteral("成功"), MessageButtons::Ok,
                [](QMessageBox& box) { EXPECT_EQ(box.button(QMessageBox::Ok)->text(), "确定"); });

    const std::unique_ptr<QMenu> menu(box("jbText1")->createStandardContextMenu());
    ASSERT_FALSE(menu->actions().isEmpty());
    EXPECT_TRUE(startsWithHan(menu->actions().first()->text()))
        << menu->actions().first()->text().toStdString();
}

TEST_F(QtTexts, AMessageBoxFitsItsTitleAndBreaksALongPathOnlyAtItsSeparators) {
    showAndLook(QStringLiteral("打包完成！ "), QStringLiteral("成功"), MessageButtons::Ok,
                [](QMessageBox& box) {
                    const int title = box.fontMetrics().horizontalAdvance(QStringLiteral("成功"));
                    EXPECT_GE(box.width(), title + 150);
                });

    QString path = QStringLiteral("C:");
    for (int i = 0; i < 12; ++i) {
        path += QStringLiteral("\\folder_number_%1").arg(i);
    }
    const QString text = QStringLiteral("打包失败！未知错误 无法写入文件 ") + path;
    showAndLook(text, QStringLiteral("出错"), MessageButtons::Ok, [&](QMessageBox& box) {
        auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        // Wrapped within Qt's usual width, not stretched or cut to the path's.
        EXPECT_LT(box.width(), box.fontMetrics().horizontalAdvance(path));
        EXPECT_LE(box.width(), box.screen()->availableGeometry().width() / 2 + 100);
        EXPECT_TRUE(label->wordWrap());
        // Broken by visible line breaks only, each right after a separator:
        // nothing invisible that a copied path or a screen reader would carry.
        const QString shown = label->text();
        for (qsizetype i = 0; i < shown.size(); ++i) {
            EXPECT_NE(shown[i].category(), QChar::Other_Format) << i;
            if (shown[i] == QLatin1Char('\n')) {
                EXPECT_EQ(shown[i - 1], QLatin1Char('\\')) << i;
            }
        }
        EXPECT_TRUE(shown.contains(QLatin1Char('\n')));
        EXPECT_EQ(QString(shown).remove(QLatin1Char('\n')), text);
    });
}

// Debian's catalogue leaves the file dialog's type column in English.
TEST_F(QtTexts, TheFileDialogCallsAFolderAFolderInChinese) {
    const QAbstractFileIconProvider provider;
    EXPECT_EQ(provider.type(QFileInfo(dir.path())), "文件夹");
}

}  // namespace
}  // namespace tessapak::app::testing
