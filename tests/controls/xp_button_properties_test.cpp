#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QStringList>
#include <functional>
#include <memory>
#include <ostream>

#include "controls/xp_button/property_bag.h"
#include "controls/xp_button/xp_button.h"
#include "graphics/color.h"
#include "xp_button_test_access.h"

namespace tessapak::controls {
namespace {

using Access = XPButtonTestAccess;

const QStringList kKeysInReadOrder = {
    "Caption", "ForeColor", "ColorStyle",   "FocusDottedRect",  "Enabled",      "FontType",
    "Icon",    "IconMask",  "RoundedValue", "CaptionAlignment", "IconAlignment"};

QStringList spiedKeys(const QSignalSpy& spy) {
    QStringList keys;
    for (const auto& call : spy) {
        keys << call.at(0).toString();
    }
    return keys;
}

std::unique_ptr<XPButton> loadedButton(const QVariantMap& stored, bool userMode = true) {
    auto button = std::make_unique<XPButton>();
    button->resize(94, 25);
    button->setAmbient("jbbtn", userMode);
    button->ReadProperties(PropertyBag::fromVariantMap(stored));
    return button;
}

TEST(XPButtonRecord, IsZeroEmptyAndFalseBeforeTheFirstAssignment) {
    XPButton button;
    const XPButtonRecord& r = button.record();
    EXPECT_TRUE(r.Caption.isEmpty());
    EXPECT_EQ(r.ForeColor, 0u);
    EXPECT_EQ(r.ColorStyle, 0);
    EXPECT_EQ(r.CaptionAlignment, 0);
    EXPECT_EQ(r.IconAlignment, 0);
    EXPECT_EQ(r.CursorPos.X, 0);
    EXPECT_EQ(r.CursorPos.Y, 0);
    EXPECT_FALSE(r.IsPressed || r.IsMouseOver || r.HasFocus || r.FocusDottedRect || r.Enabled);
    EXPECT_EQ(r.RoundedValue, 0);
    EXPECT_EQ(r.Icon, nullptr);
    EXPECT_EQ(r.IconMask, nullptr);
    EXPECT_FALSE(Access::timer(button).isActive());
    EXPECT_EQ(Access::timer(button).interval(), 50);
}

TEST(XPButtonInitProperties, GivesANewInstanceItsNameAndTheDefaults) {
    XPButton button;
    button.setAmbient("XPButton1", false);
    QSignalSpy changed(&button, &XPButton::PropertyChanged);
    const auto drawsBefore = Access::drawCalls(button);

    button.InitProperties();

    EXPECT_EQ(button.Caption(), "XPButton1");
    EXPECT_EQ(button.ForeColor(), 0u);
    EXPECT_EQ(button.ColorStyle(), xpBlue);
    EXPECT_TRUE(button.FocusDottedRect());
    EXPECT_TRUE(button.Enabled());
    EXPECT_EQ(button.Icon(), nullptr);
    EXPECT_EQ(button.IconMask(), nullptr);
    EXPECT_EQ(button.RoundedValue(), 5);
    EXPECT_EQ(button.CaptionAlignment(), capCenter);
    EXPECT_EQ(button.IconAlignment(), icoLeft);
    EXPECT_EQ(
        spiedKeys(changed),
        QStringList({"Caption", "ForeColor", "ColorStyle", "FocusDottedRect", "Enabled", "Icon",
                     "IconMask", "RoundedValue", "CaptionAlignment", "IconAlignment"}));
    EXPECT_EQ(Access::drawCalls(button) - drawsBefore, 10u);
    EXPECT_FALSE(Access::timer(button).isActive()) << "a designer never polls the pointer";
}

TEST(XPButtonInitProperties, SwitchesTheHoverTimerOnInUserMode) {
    XPButton button;
    button.setAmbient("XPButton1", true);
    button.InitProperties();
    EXPECT_TRUE(Access::timer(button).isActive());
}

TEST(XPButtonFont, StartsAsTahomaEightPointTwoFiveOrItsFallback) {
    XPButton button;
    const QFont font = button.FontType();
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 8.25);
    EXPECT_EQ(font.weight(), QFont::Normal);
    EXPECT_FALSE(font.italic() || font.underline() || font.strikeOut());
    EXPECT_TRUE(font.families().contains("Tahoma")) << font.families().join(", ").toStdString();
}

TEST(XPButtonReadProperties, TakesCaptionAndColorStyleFromTheBagAndDefaultsForTheRest) {
    const auto button = loadedButton(
        {{"_extentx", 2487}, {"_extenty", 661}, {"caption", "开始解包"}, {"colorstyle", 3}});

    EXPECT_EQ(button->Caption(), "开始解包");
    EXPECT_EQ(button->ColorStyle(), xpOlive);
    EXPECT_EQ(button->ForeColor(), 0u);
    EXPECT_TRUE(button->FocusDottedRect());
    EXPECT_TRUE(button->Enabled());
    EXPECT_EQ(button->Icon(), nullptr);
    EXPECT_EQ(button->IconMask(), nullptr);
    EXPECT_EQ(button->RoundedValue(), 5);
    EXPECT_EQ(button->CaptionAlignment(), capCenter);
    EXPECT_EQ(button->IconAlignment(), icoLeft);
}

TEST(XPButtonReadProperties, LeavesTheCaptionEmptyWhenTheBagHasNoneNotTheInstanceName) {
    const auto button = loadedButton({{"colorstyle", 2}});
    EXPECT_EQ(button->Caption(), "");
    EXPECT_EQ(button->ColorStyle(), xpSilver);
}

TEST(XPButtonReadProperties, FindsKeysWhateverTheirCase) {
    const auto button = loadedButton({{"COLORSTYLE", 3},
                                      {"roundedvalue", 9},
                                      {"FoReCoLoR", 255},
                                      {"captionALIGNMENT", 0},
                                      {"enabled", false}});
    EXPECT_EQ(button->ColorStyle(), 3);
    EXPECT_EQ(button->RoundedValue(), 9);
    EXPECT_EQ(button->ForeColor(), 255u);
    EXPECT_EQ(button->CaptionAlignment(), capLeft);
    EXPECT_FALSE(button->Enabled());
}

TEST(XPButtonReadProperties, AssignsElevenTimesInOrderPaintingEachTimeThenStartsTheTimer) {
    XPButton button;
    button.resize(94, 25);
    button.setAmbient("jbbtn", true);
    QSignalSpy changed(&button, &XPButton::PropertyChanged);
    bool timerRanDuringLoad = false;
    QObject::connect(&button, &XPButton::PropertyChanged, [&] {
        timerRanDuringLoad = timerRanDuringLoad || Access::timer(button).isActive();
    });
    const auto drawsBefore = Access::drawCalls(button);

    button.ReadProperties(PropertyBag::fromVariantMap({{"caption", "浏览..."}}));

    EXPECT_EQ(spiedKeys(changed), kKeysInReadOrder);
    EXPECT_EQ(Access::drawCalls(button) - drawsBefore, 11u);
    EXPECT_FALSE(timerRanDuringLoad) << "the timer is the last step";
    EXPECT_TRUE(Access::timer(button).isActive());
}

TEST(XPButtonReadProperties, LeavesTheTimerOffInADesigner) {
    const auto button = loadedButton({{"caption", "x"}}, /*userMode=*/false);
    EXPECT_FALSE(Access::timer(*button).isActive());
}

TEST(XPButtonReadProperties, AcceptsTheNumberFormsOfStoredDataAndTheHostsBooleans) {
    // JSON gives doubles; older data may carry text or the form runtime's -1 for True.
    const auto button = loadedButton({{"colorstyle", 3.0},
                                      {"roundedvalue", "7"},
                                      {"focusdottedrect", 0},
                                      {"enabled", -1},
                                      {"forecolor", -2147483633.0}});
    EXPECT_EQ(button->ColorStyle(), 3);
    EXPECT_EQ(button->RoundedValue(), 7);
    EXPECT_FALSE(button->FocusDottedRect());
    EXPECT_TRUE(button->Enabled());
    EXPECT_EQ(button->ForeColor(), 0x8000000Fu) << "a system-colour reference keeps its 32 bits";
}

TEST(XPButtonReadProperties, StopsAtAValueThatDoesNotConvertKeepingTheEarlierSteps) {
    XPButton button;
    button.setAmbient("jbbtn", true);
    const auto bag = PropertyBag::fromVariantMap(
        {{"caption", "开始打包"}, {"colorstyle", 3}, {"roundedvalue", "round"}});

    EXPECT_THROW(button.ReadProperties(bag), PropertyTypeError);

    EXPECT_EQ(button.Caption(), "开始打包");
    EXPECT_EQ(button.ColorStyle(), 3);
    EXPECT_EQ(button.RoundedValue(), 0) << "the failing step and those after it never ran";
    EXPECT_EQ(button.CaptionAlignment(), 0);
    EXPECT_FALSE(Access::timer(button).isActive());
}

TEST(XPButtonReadProperties, RejectsANumberOutsideThirtyTwoBits) {
    XPButton button;
    EXPECT_THROW(button.ReadProperties(PropertyBag::fromVariantMap({{"colorstyle", 1e12}})),
                 PropertyTypeError);
}

TEST(XPButtonReadProperties, TakesAFontFromItsTextDescription) {
    QFont font("WenQuanYi Micro Hei");
    font.setPointSizeF(10.5);
    font.setBold(true);
    const auto button = loadedButton({{"fonttype", font.toString()}});
    EXPECT_EQ(button->FontType(), font);
    EXPECT_THROW(loadedButton({{"fonttype", 12}}), PropertyTypeError);
}

TEST(XPButtonReadProperties, KeepsTheSurfaceFontWhenTheBagHasNone) {
    XPButton button;
    QFont font("WenQuanYi Micro Hei");
    font.setPointSizeF(12);
    button.setFontType(font);
    button.ReadProperties(PropertyBag::fromVariantMap({{"caption", "x"}}));
    EXPECT_EQ(button.FontType(), font);
}

TEST(XPButtonWriteProperties, StoresNoControlKeyForAnAllDefaultInstance) {
    XPButton button;
    button.setAmbient("", true);
    button.InitProperties();
    PropertyBag bag = PropertyBag::fromVariantMap({{"_extentx", 2487}, {"_extenty", 661}});

    button.WriteProperties(bag);

    EXPECT_EQ(bag.keys(), QStringList({"_extentx", "_extenty"}));
}

TEST(XPButtonWriteProperties, StoresWhatDiffersFromTheDefaultsAndReadsBackTheSame) {
    const auto original =
        loadedButton({{"caption", "开始解包"}, {"colorstyle", 3}, {"enabled", false}});
    auto icon = std::make_shared<QImage>(16, 16, QImage::Format_RGB32);
    original->setIcon(icon);
    original->setCaptionAlignment(7);
    PropertyBag bag;

    original->WriteProperties(bag);

    EXPECT_EQ(bag.keys().size(), 5) << bag.keys().join(",").toStdString();
    EXPECT_FALSE(bag.contains("FontType")) << "the font is written as its own default";
    const auto copy = loadedButton(bag.toVariantMap());
    EXPECT_EQ(copy->Caption(), "开始解包");
    EXPECT_EQ(copy->ColorStyle(), 3);
    EXPECT_FALSE(copy->Enabled());
    EXPECT_EQ(copy->CaptionAlignment(), 7);
    EXPECT_EQ(copy->Icon(), icon) << "pictures travel by reference";
    EXPECT_EQ(copy->IconMask(), nullptr);
}

TEST(XPButtonWriteProperties, DropsAValueSavedEarlierOnceItIsBackToItsDefault) {
    const auto button = loadedButton({{"colorstyle", 3}});
    PropertyBag bag = PropertyBag::fromVariantMap({{"colorstyle", 3}});
    button->setColorStyle(xpBlue);

    button->WriteProperties(bag);

    EXPECT_FALSE(bag.contains("ColorStyle"));
    EXPECT_EQ(loadedButton(bag.toVariantMap())->ColorStyle(), xpBlue);
}

// Every assignment stores, notifies with its key and repaints, also when the
// value is the one already held.
struct Assignment {
    const char* key;
    std::function<void(XPButton&)> assign;
    std::function<bool(const XPButton&)> stored;
};

void PrintTo(const Assignment& a, std::ostream* os) {
    *os << a.key;
}

class XPButtonAssignment : public ::testing::TestWithParam<Assignment> {};

TEST_P(XPButtonAssignment, StoresNotifiesAndRepaintsEvenWhenTheValueIsUnchanged) {
    XPButton button;
    button.resize(75, 23);
    QSignalSpy changed(&button, &XPButton::PropertyChanged);

    for (int round = 1; round <= 2; ++round) {
        const auto drawsBefore = Access::drawCalls(button);
        GetParam().assign(button);
        EXPECT_TRUE(GetParam().stored(button)) << "round " << round;
        EXPECT_EQ(Access::drawCalls(button) - drawsBefore, 1u) << "round " << round;
    }
    EXPECT_EQ(spiedKeys(changed), QStringList({GetParam().key, GetParam().key}));
}

const auto kPicture = std::make_shared<QImage>(8, 8, QImage::Format_RGB32);
const QFont kFont("WenQuanYi Micro Hei", 14);

INSTANTIATE_TEST_SUITE_P(
    EveryProperty, XPButtonAssignment,
    ::testing::Values(Assignment{"CaptionAlignment", [](XPButton& b) { b.setCaptionAlignment(7); },
                                 [](const XPButton& b) { return b.CaptionAlignment() == 7; }},
                      Assignment{"IconAlignment", [](XPButton& b) { b.setIconAlignment(-3); },
                                 [](const XPButton& b) { return b.IconAlignment() == -3; }},
                      Assignment{"Caption", [](XPButton& b) { b.setCaption("浏览..."); },
                                 [](const XPButton& b) { return b.Caption() == "浏览..."; }},
                      Assignment{"ForeColor", [](XPButton& b) { b.setForeColor(0x80000012u); },
                                 [](const XPButton& b) { return b.ForeColor() == 0x80000012u; }},
                      Assignment{"ColorStyle", [](XPButton& b) { b.setColorStyle(4); },
                                 [](const XPButton& b) { return b.ColorStyle() == 4; }},
                      Assignment{"FocusDottedRect", [](XPButton& b) { b.setFocusDottedRect(true); },
                                 [](const XPButton& b) { return b.FocusDottedRect(); }},
                      Assignment{"Enabled", [](XPButton& b) { b.setEnabled(true); },
                                 [](const XPButton& b) { return b.Enabled(); }},
                      Assignment{"FontType", [](XPButton& b) { b.setFontType(kFont); },
                                 [](const XPButton& b) { return b.FontType() == kFont; }},
                      Assignment{"IconMask", [](XPButton& b) { b.setIconMask(kPicture); },
                                 [](const XPButton& b) {
                                     return b.IconMask() == kPicture &&
                                            Access::maskPicture(b).picture == kPicture;
                                 }},
                      Assignment{"Icon", [](XPButton& b) { b.setIcon(kPicture); },
                                 [](const XPButton& b) {
                                     return b.Icon() == kPicture &&
                                            Access::iconPicture(b).picture == kPicture;
                                 }},
                      Assignment{"RoundedValue", [](XPButton& b) { b.setRoundedValue(-1); },
                                 [](const XPButton& b) { return b.RoundedValue() == -1; }}),
    [](const auto& info) { return std::string(info.param.key); });

TEST(XPButtonIcon, SharesTheAssignedPictureWithTheCallerAndImgIcon) {
    XPButton button;
    auto icon = std::make_shared<QImage>(16, 16, QImage::Format_RGB32);
    icon->fill(Qt::red);
    button.setIcon(icon);

    icon->fill(Qt::blue);  // the caller changes its picture afterwards

    EXPECT_EQ(button.Icon().get(), icon.get());
    EXPECT_EQ(Access::iconPicture(button).picture->pixel(0, 0), QColor(Qt::blue).rgb());
}

TEST(XPButtonEnabled, ChangesOnlyTheMemberAndNeverDisablesTheWidget) {
    XPButton button;
    button.setEnabled(false);
    EXPECT_FALSE(button.Enabled());
    EXPECT_TRUE(button.isEnabled());
    EXPECT_NE(button.focusPolicy() & Qt::TabFocus, 0);
    EXPECT_NE(button.focusPolicy() & Qt::ClickFocus, 0);
}

TEST(XPButtonTerminate, ClearsTheFlagsStopsTheTimerAndDoesNotRepaint) {
    XPButton button;
    button.resize(75, 23);
    button.setAmbient("x", true);
    button.InitProperties();
    Access::setFlags(button, true, true, true);
    const auto drawsBefore = Access::drawCalls(button);

    button.Terminate();

    EXPECT_FALSE(button.record().IsPressed);
    EXPECT_FALSE(button.record().IsMouseOver);
    EXPECT_FALSE(button.record().HasFocus);
    EXPECT_FALSE(Access::timer(button).isActive());
    EXPECT_EQ(Access::drawCalls(button), drawsBefore);
    const auto& surface = Access::surface(button);
    const QImage& image = surface.image();
    for (const QPoint p : {QPoint(0, 0), QPoint(37, 0), QPoint(37, 11), QPoint(74, 22)}) {
        EXPECT_EQ(image.pixel(p) & 0xFFFFFFu, graphics::toRgb(surface.backColor()) & 0xFFFFFFu)
            << "surface cleared at " << p.x() << "," << p.y();
    }
}

}  // namespace
}  // namespace tessapak::controls
