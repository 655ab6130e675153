#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QRegion>
#include <array>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <utility>

#include "controls/xp_button/rendering.h"
#include "controls/xp_button/xp_button.h"
#include "graphics/color.h"
#include "xp_button_test_access.h"

namespace tessapak::controls {
namespace {

using Access = XPButtonTestAccess;
using graphics::fromRgb;
using graphics::hexColor;

struct State {
    bool pressed = false;
    bool mouseOver = false;
    bool focus = false;
};

// A button drawn once in a given state. The caption is empty unless asked for,
// so that nothing but face, outline and ring is on the surface.
class Drawn {
  public:
    Drawn(std::int32_t colorStyle, State state, int W = 94, int H = 25) {
        button_.resize(W, H);
        button_.setAmbient("", true);
        button_.InitProperties();
        button_.setColorStyle(colorStyle);
        Access::setFlags(button_, state.pressed, state.mouseOver, state.focus);
        Access::drawButton(button_);
    }

    XPButton& button() { return button_; }
    void redraw() { Access::drawButton(button_); }
    void paint() { Access::paint(button_); }
    const QImage& image() { return Access::surface(button_).image(); }
    // Pixel colour as the control holds colours, 0x00BBGGRR.
    std::uint32_t at(int x, int y) { return fromRgb(image().pixel(x, y)); }
    int W() const { return button_.width(); }
    int H() const { return button_.height(); }

  private:
    XPButton button_;
};

std::string hex(std::uint32_t colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF,
                  (colour >> 16) & 0xFF);
    return text;
}

// What the eight ring lines cover on a W x H surface, written from the
// design's table: a later line wins where two cross.
std::map<std::pair<int, int>, int> ringCoverage(int W, int H, int lines) {
    std::map<std::pair<int, int>, int> owner;
    auto row = [&](int line, int y) {
        for (int x = 2; x <= W - 4; ++x) {
            owner[{x, y}] = line;
        }
    };
    auto column = [&](int line, int x) {
        for (int y = 2; y <= H - 4; ++y) {
            owner[{x, y}] = line;
        }
    };
    const std::array<std::function<void()>, 8> draw{
        [&] { row(0, 1); },        [&] { column(1, 1); },     [&] { row(2, H - 3); },
        [&] { column(3, W - 3); }, [&] { row(4, 2); },        [&] { column(5, 2); },
        [&] { row(6, H - 4); },    [&] { column(7, W - 4); },
    };
    for (int i = 0; i < lines; ++i) {
        draw[static_cast<std::size_t>(i)]();
    }
    return owner;
}

using Ring = std::array<std::uint32_t, 8>;

Ring ring(std::array<std::uint32_t, 8> rrggbb) {
    Ring colours{};
    for (std::size_t i = 0; i < 8; ++i) {
        colours[i] = hexColor(rrggbb[i]);
    }
    return colours;
}

struct RingCase {
    const char* name;
    std::int32_t colorStyle;
    State state;
    int lines;
    Ring colours;
};

void PrintTo(const RingCase& c, std::ostream* os) {
    *os << c.name;
}

class DrawButtonRing : public ::testing::TestWithParam<RingCase> {};

TEST_P(DrawButtonRing, PaintsEveryLineInItsColourAtTheCoveredPixels) {
    const RingCase& c = GetParam();
    Drawn drawn(c.colorStyle, c.state);
    drawn.button().setFocusDottedRect(false);  // the dots have tests of their own

    for (const auto& [pixel, line] : ringCoverage(drawn.W(), drawn.H(), c.lines)) {
        ASSERT_EQ(hex(drawn.at(pixel.first, pixel.second)),
                  hex(c.colours[static_cast<std::size_t>(line)]))
            << "L" << line + 1 << " at (" << pixel.first << ", " << pixel.second << ")";
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryColorSet, DrawButtonRing,
    ::testing::Values(
        RingCase{
            "BlueHover",
            1,
            {false, true, false},
            8,
            ring({0xFFF0CF, 0xFAC358, 0xE59700, 0xFCCA69, 0xFDD889, 0xFBC860, 0xF8B330, 0xFAC761})},
        RingCase{
            "SilverHover",
            2,
            {false, true, true},
            8,
            ring({0xFFF0CF, 0xFAC358, 0xE59700, 0xFCCA69, 0xFDD889, 0xFBC860, 0xF8B330, 0xFAC761})},
        RingCase{
            "OliveHover",
            3,
            {false, true, false},
            8,
            ring({0xFCC595, 0xE8AA76, 0xCF7225, 0xE7A66F, 0xEDBE96, 0xE7A66F, 0xE3914F, 0xE7AB77})},
        RingCase{
            "BlueFocus",
            1,
            {false, false, true},
            8,
            ring({0xCEE7FF, 0x9CBBEA, 0x6982EE, 0x9CBBEB, 0xBCD4F6, 0x9DBCEB, 0x89ADE4, 0x9DBBEB})},
        RingCase{
            "SilverFocus",
            2,
            {false, false, true},
            8,
            ring({0xCEE7FF, 0xA0BEEC, 0x6982EE, 0x9CBBEB, 0xBCD4F6, 0xFFFFFF, 0x89ADE4, 0xFFFFFF})},
        RingCase{
            "OliveFocus",
            3,
            {false, false, true},
            8,
            ring({0xC2D18F, 0xA0C767, 0xA8A766, 0xA1C668, 0xB1CB80, 0x9BC45F, 0x90C154, 0x98C35D})},
        RingCase{
            "BluePressed",
            1,
            {true, false, false},
            8,
            ring({0xD1CCC1, 0xD7D4CB, 0xF2F1EE, 0xE4E3DB, 0xDCD8CF, 0xDDDBD3, 0xEAE9E3, 0xE3E2DB})},
        RingCase{"SilverPressed",
                 2,
                 {true, false, false},
                 4,
                 ring({0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0, 0, 0, 0})},
        RingCase{"OlivePressed",
                 3,
                 {true, true, true},
                 8,
                 ring({0xDFCDB4, 0xE3D4BF, 0xF8F4E4, 0xEEE5CF, 0xE7D9C3, 0xE8DCC6, 0xF2ECD8,
                       0xEDE4CF})}),
    [](const auto& info) { return std::string(info.param.name); });

struct FaceCase {
    std::int32_t colorStyle;
    std::uint32_t top, outline, pressedTop;
};

TEST(DrawButtonFace, StartsEachColorSetsGradientsAtTheTopAndDrawsItsOutline) {
    for (const FaceCase c :
         {FaceCase{1, hexColor(0xFCFCFB), hexColor(0x003C74), hexColor(0xE5E4DD)},
          FaceCase{2, hexColor(0xFFFFFF), hexColor(0x003C74), hexColor(0xACABBD)},
          FaceCase{3, hexColor(0xFEFFF2), hexColor(0x376206), hexColor(0xEEE6D2)}}) {
        SCOPED_TRACE(c.colorStyle);
        Drawn idle(c.colorStyle, {});
        const int W = idle.W();
        const int H = idle.H();
        // The corner lies outside the rounded outline, so it shows the face's first row.
        EXPECT_EQ(hex(idle.at(0, 0)), hex(c.top));
        for (const auto& [x, y] :
             {std::pair{W / 2, 0}, {0, H / 2}, {W - 2, H / 2}, {W / 2, H - 2}}) {
            EXPECT_EQ(hex(idle.at(x, y)), hex(c.outline)) << x << "," << y;
        }
        EXPECT_NE(hex(idle.at(W - 1, H / 2)), hex(c.outline)) << "right edge is excluded";
        // Idle: no ring, the face shows through just inside the outline.
        EXPECT_EQ(idle.at(W / 2, 1), idle.at(5, 1));
        EXPECT_EQ(idle.at(1, H / 2), idle.at(W / 2, H / 2));

        Drawn pressed(c.colorStyle, {true, false, false});
        EXPECT_EQ(hex(pressed.at(0, 0)), hex(c.pressedTop));
        EXPECT_EQ(hex(pressed.at(W / 2, 0)), hex(c.outline));
    }
}

TEST(DrawButtonFace, SilverPressedLeavesTheInnerRingToThePressedFace) {
    Drawn pressed(2, {true, false, false});
    const int W = pressed.W();
    const int H = pressed.H();
    for (int y = 2; y <= H - 4; ++y) {
        EXPECT_EQ(hex(pressed.at(2, y)), hex(pressed.at(W / 2, y))) << "row " << y;
        EXPECT_EQ(hex(pressed.at(W - 4, y)), hex(pressed.at(W / 2, y))) << "row " << y;
    }
}

TEST(DrawButtonDisabled, LooksTheSameWhateverTheStateAndColorSet) {
    Drawn reference(1, {});
    reference.button().setEnabled(false);
    reference.button().setCaption("开始解包");
    const QImage idle = reference.image();
    EXPECT_EQ(hex(reference.at(0, 0)), "#F5F4EA");
    EXPECT_EQ(hex(reference.at(reference.W() - 1, reference.H() - 1)), "#F5F4EA") << "a flat face";
    EXPECT_EQ(hex(reference.at(reference.W() / 2, 0)), "#C9C7BA");

    for (std::int32_t style : {1, 2, 3}) {
        for (int flags = 0; flags < 8; ++flags) {
            Drawn drawn(style, {(flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0});
            drawn.button().setCaption("开始解包");
            drawn.button().setEnabled(false);
            EXPECT_TRUE(drawn.image() == idle) << "style " << style << ", flags " << flags;
        }
    }
}

int countPixels(const QImage& image, std::uint32_t colour, QRect area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += fromRgb(image.pixel(x, y)) == colour ? 1 : 0;
        }
    }
    return count;
}

TEST(DrawButtonCaption, IsDrawnInForeColorOrInTheDisabledGrey) {
    Drawn drawn(3, {false, false, true});
    QFont big = drawn.button().FontType();
    big.setPixelSize(16);
    big.setBold(true);
    drawn.button().setFontType(big);
    drawn.button().setForeColor(hexColor(0xFF0000));
    drawn.button().setCaption("HHHH");
    const QRect inside(3, 3, drawn.W() - 7, drawn.H() - 7);

    EXPECT_GT(countPixels(drawn.image(), hexColor(0xFF0000), inside), 10);
    drawn.button().setEnabled(false);
    EXPECT_EQ(countPixels(drawn.image(), hexColor(0xFF0000), inside), 0);
    EXPECT_GT(countPixels(drawn.image(), hexColor(0xC9C7BA), inside), 10);
}

TEST(DrawButtonCaption, ResolvesASystemColourThroughThePalette) {
    QPalette palette = QApplication::palette();
    const QPalette saved = palette;
    palette.setColor(QPalette::Active, QPalette::ButtonText, QColor(0x12, 0x80, 0x34));
    QApplication::setPalette(palette);
    EXPECT_EQ(hex(resolveSystemColor(0x80000012u)), "#128034");
    EXPECT_EQ(resolveSystemColor(0x00123456u), 0x00123456u);
    EXPECT_EQ(resolveSystemColor(0x80001234u), 0x80001234u) << "an unknown index stays as it is";
    QApplication::setPalette(saved);
}

// Dots sit on row 2 at x = 3, 5, ...; (4, 2) stays the ring's inner top line.
bool hasDots(Drawn& drawn) {
    return drawn.at(3, 2) == 0 && drawn.at(5, 2) == 0 && drawn.at(2, 4) == 0;
}

TEST(DrawButtonDecoration, FocusShowsTheDotsOnlyWithFocusDottedRect) {
    Drawn focused(1, {false, false, true});
    EXPECT_TRUE(hasDots(focused));
    EXPECT_EQ(hex(focused.at(4, 2)), "#BCD4F6");
    focused.button().setFocusDottedRect(false);
    EXPECT_FALSE(hasDots(focused));
}

TEST(DrawButtonDecoration, HoverWinsOverFocusAndHidesTheDots) {
    Drawn drawn(3, {false, true, true});
    EXPECT_EQ(hex(drawn.at(10, 1)), "#FCC595");
    EXPECT_FALSE(hasDots(drawn));

    // The pointer leaves: focus ring and dots come back.
    Access::setFlags(drawn.button(), false, false, true);
    drawn.redraw();
    EXPECT_EQ(hex(drawn.at(10, 1)), "#C2D18F");
    EXPECT_TRUE(hasDots(drawn));
}

TEST(DrawButtonDecoration, PressedWinsOverHoverAndDotsOnlyWithFocus) {
    Drawn pressedHovered(1, {true, true, false});
    EXPECT_EQ(hex(pressedHovered.at(10, 1)), "#D1CCC1");
    EXPECT_FALSE(hasDots(pressedHovered));

    Drawn pressedFocused(1, {true, false, true});
    EXPECT_EQ(hex(pressedFocused.at(10, 1)), "#D1CCC1");
    EXPECT_TRUE(hasDots(pressedFocused));
    pressedFocused.button().setFocusDottedRect(false);
    EXPECT_FALSE(hasDots(pressedFocused));
}

class DrawButtonOtherStyle : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(DrawButtonOtherStyle, DrawsNothingButTheDotsWhenHoveredAndStillShapesTheWindow) {
    Drawn drawn(GetParam(), {true, false, true});
    drawn.button().setCaption("开始解包");
    drawn.paint();
    const QImage cleared = [&] {
        QImage image = drawn.image().copy();
        image.fill(graphics::toRgb(Access::surface(drawn.button()).backColor()));
        return image;
    }();
    EXPECT_TRUE(drawn.image() == cleared) << "no face, outline, ring, icon or caption";
    EXPECT_FALSE(drawn.button().mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(drawn.button().mask().contains(QPoint(47, 12)));

    Access::setFlags(drawn.button(), false, true, false);
    drawn.paint();
    EXPECT_TRUE(hasDots(drawn));
    QImage withoutDots = drawn.image().copy();
    for (int y = 0; y < withoutDots.height(); ++y) {
        for (int x = 0; x < withoutDots.width(); ++x) {
            if (fromRgb(withoutDots.pixel(x, y)) == 0) {
                withoutDots.setPixel(x, y, cleared.pixel(x, y));
            }
        }
    }
    EXPECT_TRUE(withoutDots == cleared) << "nothing but the dots";

    drawn.button().setFocusDottedRect(false);
    drawn.paint();
    EXPECT_TRUE(drawn.image() == cleared);
}

INSTANTIATE_TEST_SUITE_P(OutsideTheSet, DrawButtonOtherStyle, ::testing::Values(0, 4, -1));

TEST(DrawButtonShape, RoundedValueZeroGivesAPlainRectangleAndFiveCutsTheCorners) {
    Drawn drawn(1, {false, false, true});
    const int W = drawn.W();
    const int H = drawn.H();
    const auto ringAtFive = ringCoverage(W, H, 8);
    std::map<std::pair<int, int>, std::uint32_t> ringColours;
    for (const auto& [pixel, line] : ringAtFive) {
        ringColours[pixel] = drawn.at(pixel.first, pixel.second);
    }
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(W - 2, 0), QPoint(0, H - 2), QPoint(W - 2, H - 2)}) {
        EXPECT_FALSE(drawn.button().mask().contains(corner)) << corner.x() << "," << corner.y();
    }

    drawn.button().setRoundedValue(0);
    EXPECT_EQ(drawn.button().mask(), QRegion(0, 0, W - 1, H - 1)) << "ends on the outline";
    EXPECT_EQ(hex(drawn.at(0, 0)), "#003C74") << "square outline corner";
    EXPECT_EQ(hex(drawn.at(W - 2, H - 2)), "#003C74");
    for (const auto& [pixel, colour] : ringColours) {
        ASSERT_EQ(drawn.at(pixel.first, pixel.second), colour) << "the ring ignores the corners";
    }
}

TEST(DrawButtonShape, FollowsTheWidgetsSizeEvenBeforeItIsShown) {
    XPButton button;
    button.setGeometry(403, 94, 94, 25);
    button.setAmbient("jbbtn", true);
    button.InitProperties();
    EXPECT_EQ(Access::surface(button).width(), 94);
    EXPECT_EQ(Access::surface(button).height(), 25);
    EXPECT_EQ(button.mask().boundingRect(), QRect(0, 0, 93, 24));
}

// At two device pixels per pixel the design keeps its pixels whole (each a
// 2 x 2 block of its colour, no blur), while the caption is drawn finer.
TEST(DrawButtonScale, AtTwoDevicePixelsKeepsThePixelDesignAndDrawsTheCaptionFiner) {
    Drawn plain(xpOlive, {false, false, true});
    Drawn captioned(xpOlive, {false, false, true});
    captioned.button().setCaption("开始解包");
    const QImage design = plain.image().copy();
    const QImage printed = captioned.image().copy();

    QImage device(captioned.W() * 2, captioned.H() * 2, QImage::Format_RGB32);
    device.fill(Qt::magenta);
    device.setDevicePixelRatio(2);
    captioned.button().render(&device);

    // Pixels the caption leaves alone at one device pixel, with a margin.
    const auto captionFree = [&](int x, int y) {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const QPoint p(x + dx, y + dy);
                if (printed.valid(p) && printed.pixel(p) != design.pixel(p)) {
                    return false;
                }
            }
        }
        return true;
    };
    int finerBlocks = 0;
    for (int y = 0; y < captioned.H(); ++y) {
        for (int x = 0; x < captioned.W(); ++x) {
            if (!captioned.button().mask().contains(QPoint(x, y))) {
                continue;
            }
            const QRgb block[4] = {device.pixel(2 * x, 2 * y), device.pixel(2 * x + 1, 2 * y),
                                   device.pixel(2 * x, 2 * y + 1),
                                   device.pixel(2 * x + 1, 2 * y + 1)};
            if (captionFree(x, y)) {
                for (QRgb pixel : block) {
                    ASSERT_EQ(hex(fromRgb(pixel)), hex(fromRgb(design.pixel(x, y))))
                        << "at " << x << "," << y;
                }
            } else if (block[0] != block[1] || block[0] != block[2] || block[0] != block[3]) {
                ++finerBlocks;
            }
        }
    }
    EXPECT_GT(finerBlocks, 20) << "the caption is drawn at the device's resolution";
}

}  // namespace
}  // namespace tessapak::controls
