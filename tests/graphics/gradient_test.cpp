#include <gtest/gtest.h>

#include <QImage>

#include "graphics/color.h"
#include "graphics/gradient.h"
#include "graphics/gradient_fill.h"
#include "graphics/pixel_probe.h"
#include "graphics/surface.h"

namespace tessapak::graphics {

// Reaches the painter's private channel conversion.
struct GradientTestAccess {
    static std::int16_t toChannel16(std::int32_t value) { return Gradient::toChannel16(value); }
};

namespace {

using testing::colourAt;
using testing::columnIs;
using testing::countColour;
using testing::rowIs;

constexpr std::int32_t kHorizontal = kGradientHorizontal;
constexpr std::int32_t kVertical = kGradientVertical;
constexpr std::uint32_t kUntouched = 0x00123456;

QImage blankImage(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(toRgb(kUntouched));
    return image;
}

struct FaceCase {
    const char* name;
    std::uint32_t top;
    std::uint32_t bottom;
    // Rows 0, 12 and 24 of a 25-pixel face: c0 + (c1 - c0) * i / 25, high byte.
    std::uint32_t row0;
    std::uint32_t row12;
    std::uint32_t row24;
};

class FaceGradient : public ::testing::TestWithParam<FaceCase> {};

TEST_P(FaceGradient, runsFromTheTopColourToTheBottomColourRowByRow) {
    const FaceCase& face = GetParam();
    QImage image = blankImage(94, 25);
    Gradient gradient;
    gradient.setRect(0, 0, 94, 25);
    gradient.draw(image, kVertical, hexColor(face.top), hexColor(face.bottom));

    EXPECT_TRUE(rowIs(image, 0, 0, 94, hexColor(face.row0)));
    EXPECT_TRUE(rowIs(image, 12, 0, 94, hexColor(face.row12)));
    EXPECT_TRUE(rowIs(image, 24, 0, 94, hexColor(face.row24)));
}

INSTANTIATE_TEST_SUITE_P(
    ColourSets, FaceGradient,
    ::testing::Values(FaceCase{"blue", 0xFCFCFB, 0xF0F0EA, 0xFCFCFB, 0xF6F6F2, 0xF0F0EA},
                      FaceCase{"silver", 0xFFFFFF, 0xC6C5D7, 0xFFFFFF, 0xE3E3EB, 0xC8C7D8},
                      FaceCase{"olive", 0xFEFFF2, 0xF3EEDB, 0xFEFFF2, 0xF8F6E6, 0xF3EEDB},
                      FaceCase{"pressedBlue", 0xE5E4DD, 0xE2E2DA, 0xE5E4DD, 0xE3E3DB, 0xE2E2DA}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Gradient, horizontalModeChangesFromLeftToRightAndNotDownwards) {
    QImage image = blankImage(10, 4);
    Gradient gradient;
    gradient.setRect(0, 0, 10, 4);
    gradient.draw(image, kHorizontal, hexColor(0x000000), hexColor(0xFF0000));

    EXPECT_TRUE(columnIs(image, 0, 0, 4, hexColor(0x000000)));
    EXPECT_TRUE(columnIs(image, 5, 0, 4, hexColor(0x7F0000)));
    EXPECT_TRUE(columnIs(image, 9, 0, 4, hexColor(0xE50000)));
}

TEST(Gradient, equalColoursGiveAFlatFillOfExactlyTheRectangle) {
    QImage image = blankImage(10, 12);
    Gradient gradient;
    gradient.setRect(2, 3, 7, 9);
    gradient.draw(image, kVertical, hexColor(0xF5F4EA), hexColor(0xF5F4EA));

    // Left and top included, right and bottom excluded: 5 x 6 pixels.
    EXPECT_EQ(countColour(image, hexColor(0xF5F4EA)), 30);
    EXPECT_EQ(colourAt(image, 2, 3), hexColor(0xF5F4EA));
    EXPECT_EQ(colourAt(image, 6, 8), hexColor(0xF5F4EA));
    EXPECT_EQ(colourAt(image, 7, 8), kUntouched);
    EXPECT_EQ(colourAt(image, 6, 9), kUntouched);
    EXPECT_EQ(colourAt(image, 1, 3), kUntouched);
    EXPECT_EQ(colourAt(image, 2, 2), kUntouched);
}

TEST(Gradient, whiteBecomesFF00InEveryChannelNotFFFF) {
    EXPECT_EQ(static_cast<std::uint16_t>(GradientTestAccess::toChannel16(0xFF * 256)), 0xFF00);
    // Visible in the pixels too: one step below white on the second of 256
    // rows; from 0xFFFF the second row would still be white.
    QImage image = blankImage(1, 256);
    Gradient gradient;
    gradient.setRect(0, 0, 1, 256);
    gradient.draw(image, kVertical, hexColor(0xFFFFFF), hexColor(0x000000));
    EXPECT_EQ(colourAt(image, 0, 0), hexColor(0xFFFFFF));
    EXPECT_EQ(colourAt(image, 0, 1), hexColor(0xFEFEFE));
    EXPECT_EQ(colourAt(image, 0, 255), hexColor(0x000000));
}

TEST(Gradient, channelConversionKeepsTheLowSixteenBitsSigned) {
    EXPECT_EQ(GradientTestAccess::toChannel16(0), 0);
    EXPECT_EQ(GradientTestAccess::toChannel16(127 * 256), 32512);
    EXPECT_EQ(GradientTestAccess::toChannel16(128 * 256), -32768);
    EXPECT_EQ(GradientTestAccess::toChannel16(0xFC00), -1024);
    EXPECT_EQ(GradientTestAccess::toChannel16(65535), -1);
}

TEST(Gradient, startsWithAnEmptyRectangleThatPaintsNothing) {
    Gradient gradient;
    EXPECT_EQ(gradient.rect.left, 0);
    EXPECT_EQ(gradient.rect.top, 0);
    EXPECT_EQ(gradient.rect.right, 0);
    EXPECT_EQ(gradient.rect.bottom, 0);

    QImage image = blankImage(4, 4);
    gradient.draw(image, kVertical, hexColor(0xFFFFFF), hexColor(0xFFFFFF));
    EXPECT_EQ(countColour(image, kUntouched), 16);
}

TEST(Gradient, keepsAReversedRectangleAsGivenAndPaintsNothing) {
    Gradient gradient;
    gradient.setRect(8, 1, 2, 6);
    EXPECT_EQ(gradient.rect.left, 8);
    EXPECT_EQ(gradient.rect.right, 2);

    QImage image = blankImage(10, 10);
    gradient.draw(image, kVertical, hexColor(0xFFFFFF), hexColor(0x000000));
    EXPECT_EQ(countColour(image, kUntouched), 100);

    gradient.setRect(1, 8, 6, 2);
    EXPECT_EQ(gradient.rect.top, 8);
    EXPECT_EQ(gradient.rect.bottom, 2);
    gradient.draw(image, kHorizontal, hexColor(0xFFFFFF), hexColor(0x000000));
    EXPECT_EQ(countColour(image, kUntouched), 100);
}

TEST(Gradient, ignoresTheTopByteOfAColour) {
    QImage image = blankImage(3, 3);
    Gradient gradient;
    gradient.setRect(0, 0, 3, 3);
    // A system-colour reference is not resolved: its low bytes are the colour.
    gradient.draw(image, kVertical, 0x8000000F, 0xFF00000F);
    EXPECT_EQ(countColour(image, 0x0000000F), 9);
}

TEST(Gradient, clipsToTheImageButInterpolatesOverTheWholeRectangle) {
    QImage image = blankImage(4, 4);
    Gradient gradient;
    // Row 0 of the image is row 10 of 20: halfway from black to 0xFE.
    gradient.setRect(-3, -10, 100, 10);
    gradient.draw(image, kVertical, hexColor(0x000000), hexColor(0xFEFEFE));
    EXPECT_TRUE(rowIs(image, 0, 0, 4, hexColor(0x7F7F7F)));
}

TEST(Gradient, paintsOnTheSurfaceImage) {
    Surface surface(5, 5);
    Gradient gradient;
    gradient.setRect(0, 0, 5, 5);
    gradient.draw(surface, kVertical, hexColor(0xF5F4EA), hexColor(0xF5F4EA));
    EXPECT_EQ(countColour(surface.image(), hexColor(0xF5F4EA)), 25);
}

TEST(GradientFill, refusesDirectionsAndImagesItCannotPaint) {
    QImage image = blankImage(4, 4);
    GradientVertex from;
    from.red = -1;
    GradientVertex to;
    to.x = 4;
    to.y = 4;
    EXPECT_FALSE(fillGradient(image, from, to, 2));
    EXPECT_EQ(countColour(image, kUntouched), 16);

    QImage none;
    EXPECT_FALSE(fillGradient(none, from, to, kGradientVertical));
}

TEST(GradientFill, readsNegativeChannelsAsTheirUnsignedBits) {
    QImage image = blankImage(2, 1);
    GradientVertex from;
    from.red = static_cast<std::int16_t>(-1024);  // 0xFC00
    GradientVertex to;
    to.x = 2;
    to.y = 1;
    to.red = static_cast<std::int16_t>(-1024);
    EXPECT_TRUE(fillGradient(image, from, to, kGradientHorizontal));
    EXPECT_EQ(colourAt(image, 0, 0), hexColor(0xFC0000));
    EXPECT_EQ(colourAt(image, 1, 0), hexColor(0xFC0000));
}

}  // namespace
}  // namespace tessapak::graphics
