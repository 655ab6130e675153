#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QImage>
#include <algorithm>

#include "graphics/color.h"
#include "graphics/pixel_probe.h"
#include "graphics/region.h"
#include "graphics/surface.h"

namespace tessapak::graphics {
namespace {

using testing::colourAt;
using testing::columnIs;
using testing::countColour;
using testing::inkBounds;
using testing::rowIs;

constexpr std::uint32_t kWhite = 0x00FFFFFF;
constexpr std::uint32_t kInk = 0x00743C00;  // #003C74, the blue outline

Surface whiteSurface(int w, int h) {
    Surface surface(w, h);
    surface.setBackColor(kWhite);
    surface.Cls();
    return surface;
}

TEST(SurfaceLine, coversItsStartAndStopsOneShortOfItsEnd) {
    Surface surface = whiteSurface(20, 10);
    surface.Line(2, 1, 17, 1, kInk);  // L1 of a 20-pixel ring
    EXPECT_TRUE(rowIs(surface.image(), 1, 2, 17, kInk));
    EXPECT_EQ(colourAt(surface.image(), 1, 1), kWhite);
    EXPECT_EQ(colourAt(surface.image(), 17, 1), kWhite);
    EXPECT_EQ(countColour(surface.image(), kInk), 15);

    surface.Line(1, 2, 1, 7, kInk);
    EXPECT_TRUE(columnIs(surface.image(), 1, 2, 7, kInk));
    EXPECT_EQ(colourAt(surface.image(), 1, 7), kWhite);
}

TEST(SurfaceLine, drawnBackwardsStillCoversOnlyItsStart) {
    Surface surface = whiteSurface(10, 10);
    surface.Line(8, 4, 3, 4, kInk);
    EXPECT_TRUE(rowIs(surface.image(), 4, 4, 9, kInk));
    EXPECT_EQ(colourAt(surface.image(), 3, 4), kWhite);
    EXPECT_EQ(countColour(surface.image(), kInk), 5);
}

TEST(SurfaceLine, diagonalStepsOncePerPixel) {
    Surface surface = whiteSurface(10, 10);
    surface.Line(0, 0, 5, 5, kInk);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(colourAt(surface.image(), i, i), kInk) << i;
    }
    EXPECT_EQ(colourAt(surface.image(), 5, 5), kWhite);
    EXPECT_EQ(countColour(surface.image(), kInk), 5);
}

TEST(SurfaceLine, fromAPointToItselfDrawsNothing) {
    Surface surface = whiteSurface(5, 5);
    surface.Line(2, 2, 2, 2, kInk);
    EXPECT_EQ(countColour(surface.image(), kWhite), 25);
}

TEST(SurfaceLine, partlyOffTheSurfaceDrawsOnlyWhatIsOnIt) {
    Surface surface = whiteSurface(5, 5);
    surface.Line(-3, 2, 9, 2, kInk);
    EXPECT_TRUE(rowIs(surface.image(), 2, 0, 5, kInk));
    EXPECT_EQ(countColour(surface.image(), kInk), 5);
}

TEST(SurfacePSet, setsOnePixelAndIgnoresPointsOffTheSurface) {
    Surface surface = whiteSurface(5, 5);
    surface.PSet(4, 0, kInk);
    surface.PSet(5, 0, kInk);
    surface.PSet(-1, 3, kInk);
    EXPECT_EQ(colourAt(surface.image(), 4, 0), kInk);
    EXPECT_EQ(countColour(surface.image(), kInk), 1);
}

TEST(SurfaceUnits, coordinatesOfPSetAndLineFollowTheScaleUnit) {
    Surface surface = whiteSurface(20, 10);
    surface.setScaleUnit(ScaleUnit::Twips);
    surface.PSet(45, 30, kInk);             // pixel (3, 2)
    surface.Line(30, 120, 150, 120, kInk);  // pixels (2, 8) to (10, 8)
    EXPECT_EQ(colourAt(surface.image(), 3, 2), kInk);
    EXPECT_TRUE(rowIs(surface.image(), 8, 2, 10, kInk));
    EXPECT_EQ(countColour(surface.image(), kInk), 9);
}

TEST(SurfaceUnits, sizesAndTextAreMeasuredInTheCurrentUnit) {
    Surface surface(94, 25);
    EXPECT_EQ(surface.ScaleWidth(), 94);
    EXPECT_EQ(surface.ScaleHeight(), 25);
    const double widthPixels = surface.TextWidth(QStringLiteral("开始解包"));
    const double heightPixels = surface.TextHeight(QStringLiteral("开始解包"));
    EXPECT_GT(widthPixels, 0);
    EXPECT_GT(heightPixels, 0);

    surface.setScaleUnit(ScaleUnit::Twips);
    EXPECT_EQ(surface.ScaleWidth(), 94 * 15);
    EXPECT_EQ(surface.ScaleHeight(), 25 * 15);
    EXPECT_EQ(surface.TextWidth(QStringLiteral("开始解包")), widthPixels * 15);
    EXPECT_EQ(surface.TextHeight(QStringLiteral("开始解包")), heightPixels * 15);
}

TEST(SurfaceUnits, switchingKeepsTheCurrentPositionInPlace) {
    Surface surface(50, 50);
    surface.setCurrentX(4);
    surface.setCurrentY(7);
    surface.setScaleUnit(ScaleUnit::Twips);
    EXPECT_EQ(surface.CurrentX(), 60);
    EXPECT_EQ(surface.CurrentY(), 105);
    surface.setScaleUnit(ScaleUnit::Pixels);
    EXPECT_EQ(surface.CurrentX(), 4);
    EXPECT_EQ(surface.CurrentY(), 7);
}

TEST(SurfaceUnits, twipsRoundToTheNearestPixelWithTiesToEven) {
    Surface surface(10, 10);
    surface.setScaleUnit(ScaleUnit::Twips);
    EXPECT_EQ(surface.toPixels(22.5), 2);  // 1.5 pixels
    EXPECT_EQ(surface.toPixels(37.5), 2);  // 2.5 pixels
    EXPECT_EQ(surface.toPixels(38), 3);
    EXPECT_EQ(surface.toPixels(-22.5), -2);
}

TEST(SurfaceFont, startsAsTahomaEightPointTwoFiveNormalWithAnInstalledFallback) {
    const QFont font = Surface().font();
    ASSERT_FALSE(font.families().isEmpty());
    EXPECT_EQ(font.families().front(), QStringLiteral("Tahoma"));
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 8.25);
    EXPECT_EQ(font.weight(), QFont::Normal);
    EXPECT_FALSE(font.italic());
    EXPECT_FALSE(font.underline());
    EXPECT_FALSE(font.strikeOut());
    // Chinese captions need one of the listed families to be installed.
    bool chinese = false;
    for (const QString& family : font.families()) {
        chinese = chinese ||
                  QFontDatabase::writingSystems(family).contains(QFontDatabase::SimplifiedChinese);
    }
    EXPECT_TRUE(chinese);
}

TEST(SurfacePrint, drawsAtTheCurrentPositionInTheForegroundColourWithoutBackground) {
    Surface surface = whiteSurface(120, 30);
    surface.setForeColor(0x000000FF);  // red
    surface.setCurrentX(10);
    surface.setCurrentY(5);
    surface.Print(QStringLiteral("开始解包"));

    const QRect ink = inkBounds(surface.image(), kWhite);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.left(), 10);
    EXPECT_GE(ink.top(), 5);
    EXPECT_LE(ink.right(), 10 + surface.TextWidth(QStringLiteral("开始解包")));
    EXPECT_LE(ink.bottom(), 5 + surface.TextHeight(QStringLiteral("开始解包")));
    // Every inked pixel lies between white and red, the strokes close to red.
    int darkest = 0xFF;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 120; ++x) {
            const std::uint32_t c = colourAt(surface.image(), x, y);
            ASSERT_EQ(greenOf(c), blueOf(c)) << x << "," << y;
            ASSERT_EQ(redOf(c), 0xFF) << x << "," << y;
            darkest = std::min<int>(darkest, greenOf(c));
        }
    }
    EXPECT_LT(darkest, 0x40);
}

TEST(SurfacePrint, movesToTheStartOfTheNextLine) {
    Surface surface = whiteSurface(60, 40);
    surface.setCurrentX(12);
    surface.setCurrentY(3);
    surface.Print(QStringLiteral("A"));
    EXPECT_EQ(surface.CurrentX(), 0);
    EXPECT_EQ(surface.CurrentY(), 3 + surface.TextHeight(QStringLiteral("A")));
}

TEST(SurfacePrint, aBlankTextLeavesEveryPixelAlone) {
    Surface surface = whiteSurface(30, 20);
    surface.Print(QStringLiteral("   "));
    EXPECT_EQ(countColour(surface.image(), kWhite), 600);
}

TEST(SurfaceCls, clearsToTheBackColourAndGoesHome) {
    Surface surface(6, 4);
    surface.PSet(1, 1, kInk);
    surface.setCurrentX(3);
    surface.setBackColor(hexColor(0xF5F4EA));
    surface.Cls();
    EXPECT_EQ(countColour(surface.image(), hexColor(0xF5F4EA)), 24);
    EXPECT_EQ(surface.CurrentX(), 0);
    EXPECT_EQ(surface.CurrentY(), 0);
}

TEST(SurfaceResize, givesAClearedImageOfTheNewSize) {
    Surface surface(6, 4);
    surface.PSet(1, 1, kInk);
    surface.resize(9, 3);
    EXPECT_EQ(surface.width(), 9);
    EXPECT_EQ(surface.height(), 3);
    EXPECT_EQ(countColour(surface.image(), surface.backColor()), 27);

    surface.resize(0, 0);
    EXPECT_TRUE(surface.image().isNull());
    surface.PSet(0, 0, kInk);
    surface.Line(0, 0, 4, 4, kInk);
    surface.RoundRect(0, 0, 4, 4, 2, 2);
    surface.Print(QStringLiteral("x"));
    surface.Cls();
}

class SurfaceRoundRect : public ::testing::Test {
  protected:
    static constexpr int kW = 75;
    static constexpr int kH = 23;

    Surface outline(int r) {
        Surface surface = whiteSurface(kW, kH);
        surface.setForeColor(kInk);
        surface.RoundRect(0, 0, kW - 1, kH - 1, r, r);
        return surface;
    }
};

TEST_F(SurfaceRoundRect, putsTheStraightSidesOnColumnZeroRowZeroAndOneInsideRightAndBottom) {
    const Surface surface = outline(5);
    const QImage& image = surface.image();
    EXPECT_TRUE(rowIs(image, 0, 3, kW - 4, kInk));
    EXPECT_TRUE(rowIs(image, kH - 2, 3, kW - 4, kInk));
    EXPECT_TRUE(columnIs(image, 0, 3, kH - 4, kInk));
    EXPECT_TRUE(columnIs(image, kW - 2, 3, kH - 4, kInk));
    // Right and bottom are excluded: the last column and row stay untouched.
    EXPECT_TRUE(columnIs(image, kW - 1, 0, kH, kWhite));
    EXPECT_TRUE(rowIs(image, kH - 1, 0, kW, kWhite));
}

TEST_F(SurfaceRoundRect, leavesTheInsideUnfilled) {
    const Surface surface = outline(5);
    for (int y = 1; y < kH - 2; ++y) {
        EXPECT_TRUE(rowIs(surface.image(), y, 2, kW - 3, kWhite)) << y;
    }
}

TEST_F(SurfaceRoundRect, cutsTheCornersWithAnEllipseAndNotWithoutOne) {
    const Surface rounded = outline(5);
    EXPECT_EQ(colourAt(rounded.image(), 0, 0), kWhite);
    EXPECT_EQ(colourAt(rounded.image(), kW - 2, 0), kWhite);
    EXPECT_EQ(colourAt(rounded.image(), 0, kH - 2), kWhite);
    EXPECT_EQ(colourAt(rounded.image(), kW - 2, kH - 2), kWhite);

    const Surface square = outline(0);
    EXPECT_EQ(colourAt(square.image(), 0, 0), kInk);
    EXPECT_EQ(colourAt(square.image(), kW - 2, kH - 2), kInk);
    EXPECT_EQ(countColour(square.image(), kInk), 2 * (kW - 1) + 2 * (kH - 1) - 4);
}

TEST(SurfaceRoundRectRegion, outlineNeverLiesOutsideTheWindowShape) {
    for (int r : {0, 2, 3, 5, 8, 13, 40}) {
        for (int w : {6, 23, 75, 94}) {
            for (int h : {5, 23, 25}) {
                Surface surface = whiteSurface(w, h);
                surface.setForeColor(kInk);
                surface.RoundRect(0, 0, w - 1, h - 1, r, r);
                const QRegion shape = roundRectRegion(0, 0, w, h, r, r);
                int drawn = 0;
                for (int y = 0; y < h; ++y) {
                    for (int x = 0; x < w; ++x) {
                        if (colourAt(surface.image(), x, y) == kInk) {
                            ++drawn;
                            ASSERT_TRUE(shape.contains(QPoint(x, y)))
                                << "r=" << r << " w=" << w << " h=" << h << " at " << x << "," << y;
                        }
                    }
                }
                EXPECT_GT(drawn, 0) << "r=" << r << " w=" << w << " h=" << h;
            }
        }
    }
}

TEST(SurfaceRoundRectRegion, outlineIsAClosedRingWithoutGaps) {
    // Every outline pixel has at least two outline pixels among its eight
    // neighbours, so no corner is left open.
    for (int r : {0, 3, 5, 9}) {
        Surface surface = whiteSurface(40, 20);
        surface.setForeColor(kInk);
        surface.RoundRect(0, 0, 39, 19, r, r);
        const QImage& image = surface.image();
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 40; ++x) {
                if (colourAt(image, x, y) != kInk) {
                    continue;
                }
                int neighbours = 0;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        if ((dx != 0 || dy != 0) && image.valid(x + dx, y + dy) &&
                            colourAt(image, x + dx, y + dy) == kInk) {
                            ++neighbours;
                        }
                    }
                }
                ASSERT_GE(neighbours, 2) << "r=" << r << " at " << x << "," << y;
            }
        }
    }
}

class SurfaceBitBlt : public ::testing::Test {
  protected:
    static QImage picture(int w, int h, std::uint32_t colour,
                          QImage::Format format = QImage::Format_RGB32) {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(toRgb(colour));
        return image.convertToFormat(format);
    }
};

TEST_F(SurfaceBitBlt, andKeepsOnlyTheBitsSetInBoth) {
    Surface surface(8, 8);
    surface.setBackColor(hexColor(0xF0F0EA));
    surface.Cls();
    EXPECT_TRUE(surface.BitBlt(2, 3, 4, 2, picture(4, 2, hexColor(0x3C9F0F)), 0, 0, SRCAND));
    EXPECT_EQ(colourAt(surface.image(), 2, 3), hexColor(0xF0F0EA & 0x3C9F0F));
    EXPECT_EQ(colourAt(surface.image(), 5, 4), hexColor(0xF0F0EA & 0x3C9F0F));
    EXPECT_EQ(countColour(surface.image(), hexColor(0xF0F0EA)), 64 - 8);
}

TEST_F(SurfaceBitBlt, orAddsTheBitsOfTheSource) {
    Surface surface(8, 8);
    surface.setBackColor(hexColor(0x102030));
    surface.Cls();
    EXPECT_TRUE(surface.BitBlt(0, 0, 8, 8, picture(8, 8, hexColor(0x0A0B01)), 0, 0, SRCPAINT));
    EXPECT_EQ(countColour(surface.image(), hexColor(0x102030 | 0x0A0B01)), 64);
}

TEST_F(SurfaceBitBlt, maskThenIconPaintsTheIconOverTheFace) {
    // Black mask pixels cut a hole that the icon's colours then fill; white
    // mask pixels keep the face, where the icon is black and adds nothing.
    Surface surface(4, 1);
    surface.setBackColor(hexColor(0xC6C5D7));
    surface.Cls();
    QImage mask = picture(4, 1, hexColor(0xFFFFFF));
    mask.setPixel(1, 0, toRgb(0));
    QImage icon = picture(4, 1, 0);
    icon.setPixel(1, 0, toRgb(hexColor(0x20A040)));
    surface.BitBlt(0, 0, 4, 1, mask, 0, 0, SRCAND);
    surface.BitBlt(0, 0, 4, 1, icon, 0, 0, SRCPAINT);
    EXPECT_EQ(colourAt(surface.image(), 0, 0), hexColor(0xC6C5D7));
    EXPECT_EQ(colourAt(surface.image(), 1, 0), hexColor(0x20A040));
    EXPECT_EQ(colourAt(surface.image(), 2, 0), hexColor(0xC6C5D7));
}

TEST_F(SurfaceBitBlt, isClippedToTheSurfaceAndToTheSource) {
    Surface surface(6, 6);
    surface.setBackColor(kWhite);
    surface.Cls();
    // Hangs over the top-left corner: only a 2 x 2 block lands.
    surface.BitBlt(-2, -2, 4, 4, picture(4, 4, 0), 0, 0, SRCAND);
    EXPECT_EQ(countColour(surface.image(), 0), 4);
    EXPECT_EQ(colourAt(surface.image(), 1, 1), 0u);
    // Asks for more than the source holds: only the source's 2 x 2 lands.
    surface.BitBlt(3, 3, 10, 10, picture(3, 3, 0), 1, 1, SRCAND);
    EXPECT_EQ(countColour(surface.image(), 0), 8);
    EXPECT_EQ(colourAt(surface.image(), 5, 5), kWhite);
    EXPECT_EQ(colourAt(surface.image(), 4, 4), 0u);
}

TEST_F(SurfaceBitBlt, acceptsIndexedAndTransparentPictures) {
    Surface surface(3, 3);
    surface.setBackColor(kWhite);
    surface.Cls();
    surface.BitBlt(0, 0, 3, 3, picture(3, 3, 0, QImage::Format_Mono), 0, 0, SRCAND);
    EXPECT_EQ(countColour(surface.image(), 0), 9);
    surface.BitBlt(0, 0, 3, 3, picture(3, 3, hexColor(0x123456), QImage::Format_ARGB32), 0, 0,
                   SRCPAINT);
    EXPECT_EQ(countColour(surface.image(), hexColor(0x123456)), 9);
    // The window's pixels stay opaque.
    EXPECT_EQ(qAlpha(surface.image().pixel(1, 1)), 255);
}

TEST_F(SurfaceBitBlt, refusesOtherRasterOperations) {
    Surface surface(3, 3);
    surface.setBackColor(kWhite);
    surface.Cls();
    EXPECT_FALSE(surface.BitBlt(0, 0, 3, 3, picture(3, 3, 0), 0, 0, 0xCC0020));
    EXPECT_EQ(countColour(surface.image(), kWhite), 9);
}

}  // namespace
}  // namespace tessapak::graphics
