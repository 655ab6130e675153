#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <memory>

#include "controls/xp_button/caption_icon.h"
#include "graphics/color.h"
#include "graphics/pixel_probe.h"
#include "graphics/surface.h"

namespace tessapak::controls {
namespace {

using graphics::hexColor;
using graphics::ScaleUnit;
using graphics::Surface;
using graphics::toRgb;
using testing::colourAt;
using testing::countColour;
using testing::inkBounds;

constexpr std::uint32_t kWhite = 0x00FFFFFF;
constexpr std::uint32_t kBlack = 0x00000000;
constexpr std::uint32_t kFace = 0x00D7C5C6;  // #C6C5D7
constexpr std::uint32_t kIconColour = 0x0040A020;

Surface filledSurface(int w, int h, std::uint32_t colour) {
    Surface surface(w, h);
    surface.setBackColor(colour);
    surface.Cls();
    return surface;
}

// ---- Focus dots ----

TEST(drawDottedRect, dotsEverySecondPixelOfTheInnerRingOfA75By23Button) {
    Surface surface = filledSurface(75, 23, kWhite);
    surface.setForeColor(hexColor(0xFF0000));  // the dots do not take it
    drawDottedRect(surface);
    const QImage& image = surface.image();

    int top = 0;
    int bottom = 0;
    for (int x = 0; x < 75; ++x) {
        const bool dotted = x >= 3 && x <= 69 && x % 2 == 1;
        EXPECT_EQ(colourAt(image, x, 2) == kBlack, dotted) << "top x=" << x;
        EXPECT_EQ(colourAt(image, x, 19) == kBlack, dotted) << "bottom x=" << x;
        top += colourAt(image, x, 2) == kBlack ? 1 : 0;
        bottom += colourAt(image, x, 19) == kBlack ? 1 : 0;
    }
    EXPECT_EQ(top, 34);
    EXPECT_EQ(bottom, 34);

    int left = 0;
    int right = 0;
    for (int y = 3; y < 19; ++y) {
        const bool dotted = y >= 4 && y <= 18 && y % 2 == 0;
        EXPECT_EQ(colourAt(image, 2, y) == kBlack, dotted) << "left y=" << y;
        EXPECT_EQ(colourAt(image, 71, y) == kBlack, dotted) << "right y=" << y;
        left += colourAt(image, 2, y) == kBlack ? 1 : 0;
        right += colourAt(image, 71, y) == kBlack ? 1 : 0;
    }
    EXPECT_EQ(left, 8);
    EXPECT_EQ(right, 8);

    EXPECT_EQ(colourAt(image, 2, 2), kWhite);
    EXPECT_EQ(countColour(image, kBlack), 34 + 34 + 8 + 8);
}

TEST(drawDottedRect, drawsNothingOnASurfaceTooSmallForTheRing) {
    Surface surface = filledSurface(5, 5, kWhite);
    drawDottedRect(surface);
    EXPECT_EQ(countColour(surface.image(), kWhite), 25);
}

// ---- Recolouring ----

PictureBox boxOf(const QImage& image) {
    return PictureBox{std::make_shared<QImage>(image)};
}

TEST(replaceColor, changesOnlyPixelsOfExactlyTheColourSought) {
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(toRgb(kBlack));
    image.setPixel(1, 0, toRgb(0x00000001));  // nearly black: red 1
    image.setPixel(2, 1, toRgb(0x00010000));  // nearly black: blue 1
    PictureBox box = boxOf(image);
    replaceColor(box, kBlack, kDisabledIconColor);

    EXPECT_EQ(countColour(*box.picture, kDisabledIconColor), 4);
    EXPECT_EQ(colourAt(*box.picture, 1, 0), 0x00000001u);
    EXPECT_EQ(colourAt(*box.picture, 2, 1), 0x00010000u);
}

TEST(replaceColor, neverMatchesAColourWithATopByte) {
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(toRgb(0x0000000F));
    PictureBox box = boxOf(image);
    replaceColor(box, 0x8000000F, kWhite);
    EXPECT_EQ(countColour(*box.picture, 0x0000000F), 4);
}

TEST(replaceColor, recoloursAOneBitMask) {
    QImage mask(4, 4, QImage::Format_Mono);
    mask.setColor(0, toRgb(kBlack));
    mask.setColor(1, toRgb(kWhite));
    mask.fill(1);
    mask.setPixel(1, 1, 0);
    mask.setPixel(2, 2, 0);
    PictureBox box = boxOf(mask);
    replaceColor(box, kBlack, kDisabledIconColor);
    EXPECT_EQ(colourAt(*box.picture, 1, 1), kDisabledIconColor);
    EXPECT_EQ(colourAt(*box.picture, 2, 2), kDisabledIconColor);
    EXPECT_EQ(countColour(*box.picture, kWhite), 14);
}

TEST(replaceColor, leavesAnEmptyBoxEmpty) {
    PictureBox none;
    replaceColor(none, kBlack, kWhite);
    EXPECT_FALSE(none.holdsPicture());
    PictureBox nullPicture{std::make_shared<QImage>()};
    replaceColor(nullPicture, kBlack, kWhite);
    EXPECT_TRUE(nullPicture.picture->isNull());
}

// ---- Icon ----

// A 16 x 16 icon whose opaque part is the block of columns 2 to 13, rows 4 to
// 11: the mask is black there and white elsewhere, the icon coloured there and
// black elsewhere.
class PaintIconTest : public ::testing::Test {
  protected:
    static constexpr int kSize = 16;
    const QRect opaque{2, 4, 12, 8};

    void SetUp() override {
        QImage mask(kSize, kSize, QImage::Format_RGB32);
        mask.fill(toRgb(kWhite));
        QImage icon(kSize, kSize, QImage::Format_RGB32);
        icon.fill(toRgb(kBlack));
        for (int y = opaque.top(); y <= opaque.bottom(); ++y) {
            for (int x = opaque.left(); x <= opaque.right(); ++x) {
                mask.setPixel(x, y, toRgb(kBlack));
                icon.setPixel(x, y, toRgb(kIconColour));
            }
        }
        maskPicture = boxOf(mask);
        iconPicture = boxOf(icon);
        record.Enabled = true;
        record.IconAlignment = icoLeft;
    }

    Surface paint(int w = 94, int h = 25) {
        Surface surface = filledSurface(w, h, kFace);
        paintIcon(surface, record, iconPicture, maskPicture, disabledPicture);
        return surface;
    }

    XPButtonRecord record;
    PictureBox iconPicture;
    PictureBox maskPicture;
    PictureBox disabledPicture;
};

TEST_F(PaintIconTest, drawsTheIconFivePixelsFromTheLeftAndKeepsTheFaceAroundIt) {
    const Surface surface = paint();
    // y = round(25 / 2 - 16 / 2) = round(4.5) = 4.
    EXPECT_EQ(inkBounds(surface.image(), kFace), opaque.translated(5, 4));
    EXPECT_EQ(countColour(surface.image(), kIconColour), opaque.width() * opaque.height());
}

TEST_F(PaintIconTest, drawsTheIconFivePixelsFromTheRight) {
    record.IconAlignment = icoRight;
    const Surface surface = paint();
    EXPECT_EQ(inkBounds(surface.image(), kFace), opaque.translated(94 - 16 - 5, 4));
}

TEST_F(PaintIconTest, centresVerticallyRoundingHalvesToEven) {
    // 23: round(3.5) = 4; 27: round(5.5) = 6; 24: exactly 4.
    EXPECT_EQ(inkBounds(paint(94, 23).image(), kFace).top(), 4 + opaque.top());
    EXPECT_EQ(inkBounds(paint(94, 27).image(), kFace).top(), 6 + opaque.top());
    EXPECT_EQ(inkBounds(paint(94, 24).image(), kFace).top(), 4 + opaque.top());
}

TEST_F(PaintIconTest, drawsNothingWithOnlyOneOfTheTwoPictures) {
    for (bool enabled : {true, false}) {
        record.Enabled = enabled;
        const PictureBox icon = iconPicture;
        iconPicture = PictureBox{};
        EXPECT_EQ(countColour(paint().image(), kFace), 94 * 25) << "no icon, enabled=" << enabled;
        iconPicture = icon;
        const PictureBox mask = maskPicture;
        maskPicture = PictureBox{std::make_shared<QImage>()};
        EXPECT_EQ(countColour(paint().image(), kFace), 94 * 25) << "no mask, enabled=" << enabled;
        maskPicture = mask;
    }
}

TEST_F(PaintIconTest, drawsNothingForAlignmentsOtherThanLeftAndRight) {
    for (bool enabled : {true, false}) {
        record.Enabled = enabled;
        for (std::int32_t alignment : {0, 3, -1}) {
            record.IconAlignment = alignment;
            EXPECT_EQ(countColour(paint().image(), kFace), 94 * 25)
                << "alignment " << alignment << ", enabled=" << enabled;
        }
    }
}

TEST_F(PaintIconTest, disabledShowsTheMaskInGreyOnWhiteWhateverTheFace) {
    record.Enabled = false;
    const QImage callersMask = maskPicture.picture->copy();
    const Surface surface = paint();

    const QRect box(5, 4, kSize, kSize);
    for (int y = 0; y < 25; ++y) {
        for (int x = 0; x < 94; ++x) {
            std::uint32_t expected = kFace;
            if (box.contains(x, y)) {
                expected = opaque.contains(x - 5, y - 4) ? kDisabledIconColor : kWhite;
            }
            ASSERT_EQ(colourAt(surface.image(), x, y), expected) << x << "," << y;
        }
    }
    // The grey copy is disabledPicture's own; the caller's mask is as it was.
    ASSERT_TRUE(disabledPicture.holdsPicture());
    EXPECT_NE(disabledPicture.picture, maskPicture.picture);
    EXPECT_EQ(*maskPicture.picture, callersMask);
}

TEST_F(PaintIconTest, disabledLeavesAMaskPixelThatIsNotPureBlackUngreyed) {
    record.Enabled = false;
    maskPicture.picture->setPixel(3, 5, toRgb(0x00000001));
    const Surface surface = paint();
    EXPECT_EQ(colourAt(surface.image(), 5 + 3, 4 + 5), 0x00000001u);
    EXPECT_EQ(colourAt(surface.image(), 5 + 4, 4 + 5), kDisabledIconColor);
}

TEST_F(PaintIconTest, disabledOnTheRightUsesTheGreyCopysWidth) {
    record.Enabled = false;
    record.IconAlignment = icoRight;
    const Surface surface = paint();
    EXPECT_EQ(inkBounds(surface.image(), kFace), QRect(94 - 16 - 5, 4, kSize, kSize));
}

TEST_F(PaintIconTest, repaintingDisabledTwiceGivesTheSameLook) {
    record.Enabled = false;
    const QImage first = paint().image();
    const QImage second = paint().image();
    EXPECT_EQ(first, second);
}

// ---- Caption ----

// Where the glyphs of `text` start relative to the point they are printed at.
QPoint inkOffset(const QString& text) {
    Surface probe = filledSurface(400, 60, kWhite);
    probe.setCurrentX(0);
    probe.setCurrentY(0);
    probe.Print(text);
    return inkBounds(probe.image(), kWhite).topLeft();
}

class PrintCaptionTest : public ::testing::Test {
  protected:
    const QString text = QStringLiteral("开始解包");

    // The caption's top-left corner in pixels, from its place in twips.
    QPoint printedAt(int w, int h, std::int32_t alignment) {
        Surface surface = filledSurface(w, h, kWhite);
        printCaption(surface, text, alignment);
        EXPECT_EQ(surface.scaleUnit(), ScaleUnit::Pixels);
        const QRect ink = inkBounds(surface.image(), kWhite);
        if (ink.isEmpty()) {
            return {-1000, -1000};
        }
        return ink.topLeft() - inkOffset(text);
    }

    // The text's size in twips, as the surface measures it.
    double textWidthTwips() const {
        Surface surface(10, 10);
        surface.setScaleUnit(ScaleUnit::Twips);
        return surface.TextWidth(text);
    }
    double textHeightTwips() const {
        Surface surface(10, 10);
        surface.setScaleUnit(ScaleUnit::Twips);
        return surface.TextHeight(text);
    }
    int pixelsOf(double twips) const { return static_cast<int>(std::nearbyint(twips / 15)); }
    int expectedY(int h) const {
        return pixelsOf(std::nearbyint(h * 15 / 2.0 - (textHeightTwips() / 2 + 20)));
    }
};

TEST_F(PrintCaptionTest, leftStartsOneHundredTwipsFromTheEdge) {
    EXPECT_EQ(printedAt(94, 25, capLeft), QPoint(pixelsOf(100), expectedY(25)));
}

TEST_F(PrintCaptionTest, rightEndsOneHundredTwipsBeforeTheEdge) {
    const int x = pixelsOf(std::nearbyint(94 * 15 - textWidthTwips() - 100));
    EXPECT_EQ(printedAt(94, 25, capRight), QPoint(x, expectedY(25)));
}

TEST_F(PrintCaptionTest, centreSitsTwentyTwipsAboveTheMiddle) {
    const int x = pixelsOf(std::nearbyint(94 * 15 / 2.0 - textWidthTwips() / 2));
    EXPECT_EQ(printedAt(94, 25, capCenter), QPoint(x, expectedY(25)));
    EXPECT_EQ(printedAt(75, 23, capCenter).y(), expectedY(23));
}

TEST_F(PrintCaptionTest, centreRoundsAHalfTwipToEven) {
    // Three pixels wider than the text: x = round(22.5) = 22 twips, pixel 1;
    // rounding halves up would give 23 twips, pixel 2.
    const int w = static_cast<int>(textWidthTwips() / 15) + 3;
    EXPECT_EQ(printedAt(w, 25, capCenter).x(), 1);
}

TEST_F(PrintCaptionTest, otherAlignmentsPrintNothingAndLeaveTheSurfaceInPixels) {
    for (std::int32_t alignment : {3, -1, 7}) {
        Surface surface = filledSurface(94, 25, kWhite);
        printCaption(surface, text, alignment);
        EXPECT_EQ(countColour(surface.image(), kWhite), 94 * 25) << alignment;
        EXPECT_EQ(surface.scaleUnit(), ScaleUnit::Pixels) << alignment;
    }
}

TEST_F(PrintCaptionTest, returnsToPixelsEvenWhenCalledInTwips) {
    Surface surface = filledSurface(94, 25, kWhite);
    surface.setScaleUnit(ScaleUnit::Twips);
    printCaption(surface, text, 9);
    EXPECT_EQ(surface.scaleUnit(), ScaleUnit::Pixels);
    printCaption(surface, text, capLeft);
    EXPECT_EQ(surface.scaleUnit(), ScaleUnit::Pixels);
}

TEST_F(PrintCaptionTest, aCaptionWiderThanTheButtonIsCutOnBothSidesAndDoesNotWrap) {
    const QString wide = text + text + text;
    Surface surface = filledSurface(30, 25, kWhite);
    printCaption(surface, wide, capCenter);
    const QRect ink = inkBounds(surface.image(), kWhite);
    EXPECT_EQ(ink.left(), 0);
    EXPECT_EQ(ink.right(), 29);
    EXPECT_LE(ink.height(), surface.TextHeight(wide));
}

TEST_F(PrintCaptionTest, usesTheSurfacesForegroundColour) {
    Surface surface = filledSurface(94, 25, kWhite);
    surface.setForeColor(hexColor(0x0000FF));
    printCaption(surface, text, capCenter);
    const QRect ink = inkBounds(surface.image(), kWhite);
    ASSERT_FALSE(ink.isEmpty());
    for (int y = ink.top(); y <= ink.bottom(); ++y) {
        for (int x = ink.left(); x <= ink.right(); ++x) {
            const std::uint32_t c = colourAt(surface.image(), x, y);
            ASSERT_EQ(graphics::blueOf(c), 0xFF) << x << "," << y;
        }
    }
}

}  // namespace
}  // namespace tessapak::controls
