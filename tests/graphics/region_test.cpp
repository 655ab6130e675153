#include <gtest/gtest.h>

#include <QRegion>

#include "graphics/region.h"

namespace tessapak::graphics {
namespace {

TEST(RoundRectRegion, withoutAnEllipseIsThePlainRectangleOnePixelSmallerAtRightAndBottom) {
    EXPECT_EQ(roundRectRegion(0, 0, 94, 25, 0, 0), QRegion(0, 0, 93, 24));
    EXPECT_EQ(roundRectRegion(0, 0, 94, 25, 1, 1), QRegion(0, 0, 93, 24));
}

TEST(RoundRectRegion, withEllipseFiveCutsEachCornerAndKeepsTheSides) {
    const QRegion shape = roundRectRegion(0, 0, 75, 23, 5, 5);
    EXPECT_FALSE(shape.contains(QPoint(0, 0)));
    EXPECT_FALSE(shape.contains(QPoint(73, 0)));
    EXPECT_FALSE(shape.contains(QPoint(0, 21)));
    EXPECT_FALSE(shape.contains(QPoint(73, 21)));
    EXPECT_TRUE(shape.contains(QPoint(37, 0)));
    EXPECT_TRUE(shape.contains(QPoint(0, 11)));
    EXPECT_TRUE(shape.contains(QPoint(73, 11)));
    EXPECT_TRUE(shape.contains(QPoint(37, 21)));
    EXPECT_FALSE(shape.contains(QPoint(74, 11)));
    EXPECT_FALSE(shape.contains(QPoint(37, 22)));
    EXPECT_TRUE(shape.contains(QPoint(2, 2)));
    EXPECT_EQ(shape.boundingRect(), QRect(0, 0, 74, 22));
}

TEST(RoundRectRegion, isSymmetricLeftToRightAndTopToBottom) {
    const int w = 94;
    const int h = 25;
    for (int r : {4, 5, 9, 24}) {
        const QRegion shape = roundRectRegion(0, 0, w, h, r, r);
        for (int y = 0; y < h - 1; ++y) {
            for (int x = 0; x < w - 1; ++x) {
                const bool in = shape.contains(QPoint(x, y));
                ASSERT_EQ(in, shape.contains(QPoint(w - 2 - x, y))) << r << ":" << x << "," << y;
                ASSERT_EQ(in, shape.contains(QPoint(x, h - 2 - y))) << r << ":" << x << "," << y;
            }
        }
    }
}

TEST(RoundRectRegion, largerEllipsesCutDeeper) {
    const QRegion five = roundRectRegion(0, 0, 94, 25, 5, 5);
    const QRegion nine = roundRectRegion(0, 0, 94, 25, 9, 9);
    EXPECT_TRUE(five.contains(QPoint(1, 0)));
    EXPECT_FALSE(nine.contains(QPoint(1, 0)));
    EXPECT_EQ(nine.subtracted(five), QRegion());
}

TEST(RoundRectRegion, anEllipseLargerThanTheBoxIsCutToTheBox) {
    const QRegion shape = roundRectRegion(0, 0, 20, 10, 500, 500);
    EXPECT_EQ(shape.boundingRect(), QRect(0, 0, 19, 9));
    EXPECT_TRUE(shape.contains(QPoint(10, 5)));
    EXPECT_FALSE(shape.contains(QPoint(0, 0)));
}

TEST(RoundRectRegion, takesTheCornersInEitherOrder) {
    EXPECT_EQ(roundRectRegion(30, 20, 4, 2, 5, 5), roundRectRegion(4, 2, 30, 20, 5, 5));
}

TEST(RoundRectRegion, ofAnEmptyBoxIsEmpty) {
    EXPECT_TRUE(roundRectRegion(0, 0, 0, 25, 5, 5).isEmpty());
    EXPECT_TRUE(roundRectRegion(3, 3, 3, 3, 0, 0).isEmpty());
}

TEST(RoundRectRegion, ofAPositionedBoxStartsAtItsCorner) {
    EXPECT_EQ(roundRectRegion(10, 20, 15, 28, 0, 0), QRegion(10, 20, 4, 7));
}

}  // namespace
}  // namespace tessapak::graphics
