#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QTest>
#include <memory>

#include "app/about_window.h"
#include "app/status_label.h"
#include "window_fixture.h"

namespace tessapak::app::testing {
namespace {

using platform::MessageIcon;

QAccessibleInterface* accessible(QObject* object) {
    QAccessibleInterface* found = QAccessible::queryAccessibleInterface(object);
    EXPECT_NE(found, nullptr);
    return found;
}

// Presses a control as assistive technology does: its first action.
void pressDefaultAction(QObject* object) {
    QAccessibleActionInterface* actions = accessible(object)->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_FALSE(actions->actionNames().isEmpty());
    EXPECT_EQ(actions->actionNames().first(), QAccessibleActionInterface::pressAction());
    actions->doAction(actions->actionNames().first());
    QCoreApplication::processEvents();
}

class Accessibility : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        form->show();
    }
};

TEST_F(Accessibility, EveryControlHasTheRoleAndNameAScreenReaderAnnounces) {
    const auto expect = [](QWidget* widget, QAccessible::Role role, const QString& name) {
        ASSERT_NE(widget, nullptr);
        QAccessibleInterface* control = accessible(widget);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->role(), role) << widget->objectName().toStdString();
        EXPECT_EQ(control->text(QAccessible::Name), name) << widget->objectName().toStdString();
    };
    expect(button("jbbtn"), QAccessible::Button, "开始解包");
    expect(button("jbbtn1"), QAccessible::Button, "浏览...");
    expect(button("dbbtn"), QAccessible::Button, "开始打包");
    expect(box("jbText1"), QAccessible::EditableText, "皮肤文件");
    expect(box("jbText2"), QAccessible::EditableText, "解出目录");
    expect(box("dbText1"), QAccessible::EditableText, "打包目录");
    expect(box("dbText2"), QAccessible::EditableText, "输出文件");
    expect(image("setImage"), QAccessible::Button, "配置QQ版本");
    expect(image("MinButton"), QAccessible::Button, "最小化");
    expect(image("UnLoadMain"), QAccessible::Button, "关闭");
    expect(control<QWidget>("QQInstallLabel"), QAccessible::Link, "Morvena透明皮肤工具下载");
    expect(form.get(), QAccessible::Window, "Tessapak www.morvena.example");
    // An empty status line says whose status it is, not the frame's caption;
    // with a text, it is named by the text.
    expect(label("jbLabel"), QAccessible::StaticText, "解包状态");
    expect(label("dbLabel"), QAccessible::StaticText, "打包状态");
    static_cast<StatusLabel*>(label("jbLabel"))->setStatus("完成解包。");
    expect(label("jbLabel"), QAccessible::StaticText, "完成解包。");

    // The caption label is the box's label, as the buddy relation says.
    QList<QObject*> labels;
    for (const auto& relation : accessible(box("jbText1"))->relations(QAccessible::Label)) {
        labels.append(relation.first->object());
    }
    EXPECT_TRUE(labels.contains(label("jbLabel2")));

    const auto about = std::make_unique<app::AboutWindow>(urls);
    expect(about->findChild<QWidget*>("Image1"), QAccessible::Button, "关闭");
    expect(about->findChild<QWidget*>("Label2"), QAccessible::Link, "关于");
    expect(about.get(), QAccessible::Window, "关于");
}

TEST_F(Accessibility, PressingAButtonClicksItAndNothingWhileItIsDisabled) {
    pressDefaultAction(button("jbbtn"));
    expectOnlyMessage("皮肤文件不能为空,请先选择文件！ ", "信息提示", MessageIcon::Exclamation);
    EXPECT_FALSE(accessible(button("jbbtn"))->state().disabled);

    messages.clear();
    form->disableControls();
    for (QObject* control : std::initializer_list<QObject*>{button("jbbtn"), image("UnLoadMain")}) {
        EXPECT_TRUE(accessible(control)->state().disabled);
        pressDefaultAction(control);
    }
    EXPECT_TRUE(messages.shown().isEmpty());
    EXPECT_TRUE(form->isVisible());

    // The chrome stays usable in the busy state and presses like a click.
    pressDefaultAction(image("setImage"));
    ASSERT_NE(form->aboutWindow(), nullptr);
    EXPECT_TRUE(form->aboutWindow()->isVisible());
    form->enableControls();
}

}  // namespace
}  // namespace tessapak::app::testing
