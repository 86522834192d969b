// ResizeBitmap: area-weighted scaling, one axis at a time, on 24- and 32-bit pictures.

#include "sorvak.h"

#include <QImage>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using Row = std::vector<QRgb>;

QImage pictureOf(const std::vector<Row>& rows, QImage::Format format = QImage::Format_RGB888)
{
    QImage picture(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), format);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]);
    }
    return picture;
}

std::unique_ptr<QImage> resized(const QImage& picture, int width, int height)
{
    return std::unique_ptr<QImage>(static_cast<QImage*>(ResizeBitmap(const_cast<QImage*>(&picture), width, height)));
}

// Each channel of a weighted sum of two pixels, truncated.
QRgb blend(double weightA, QRgb a, double weightB, QRgb b)
{
    auto channel = [&](int (*part)(QRgb)) { return static_cast<int>(weightA * part(a) + weightB * part(b)); };
    return qRgb(channel(qRed), channel(qGreen), channel(qBlue));
}

void expectPixels(const QImage& picture, const std::vector<Row>& rows)
{
    ASSERT_EQ(picture.height(), static_cast<int>(rows.size()));
    ASSERT_EQ(picture.width(), static_cast<int>(rows[0].size()));
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            EXPECT_EQ(picture.pixel(x, y) & 0xFFFFFF, rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] & 0xFFFFFF)
                << "at " << x << "," << y;
        }
    }
}

const QRgb kA = qRgb(10, 201, 33);
const QRgb kB = qRgb(21, 100, 254);
const QRgb kC = qRgb(254, 0, 78);
const QRgb kD = qRgb(3, 50, 128);

TEST(ResizeBitmap, SameSizeGivesASeparateCopy)
{
    const QImage picture = pictureOf({{kA, kB}, {kC, kD}});
    const auto copy = resized(picture, 2, 2);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), &picture);
    EXPECT_NE(copy->constBits(), picture.constBits());
    EXPECT_EQ(*copy, picture);
}

TEST(ResizeBitmap, HalvingTheWidthAveragesPixelPairs)
{
    const auto half = resized(pictureOf({{kA, kB, kC, kD}}), 2, 1);
    ASSERT_TRUE(half);
    EXPECT_EQ(half->format(), QImage::Format_RGB888);
    expectPixels(*half, {{blend(0.5, kA, 0.5, kB), blend(0.5, kC, 0.5, kD)}});
}

TEST(ResizeBitmap, HalvingTheHeightAveragesPixelPairs)
{
    const auto half = resized(pictureOf({{kA}, {kB}, {kC}, {kD}}), 1, 2);
    ASSERT_TRUE(half);
    expectPixels(*half, {{blend(0.5, kA, 0.5, kB)}, {blend(0.5, kC, 0.5, kD)}});
}

TEST(ResizeBitmap, ShrinkingWeighsEachSourcePixelByTheShareItCovers)
{
    // Three pixels into two: each destination pixel covers one and a half source pixels.
    const auto shrunk = resized(pictureOf({{kA, kB, kC}}), 2, 1);
    ASSERT_TRUE(shrunk);
    expectPixels(*shrunk, {{blend(2.0 / 3, kA, 1.0 / 3, kB), blend(1.0 / 3, kB, 2.0 / 3, kC)}});
}

TEST(ResizeBitmap, GrowingBlendsTheNeighboursADestinationPixelOverlaps)
{
    const auto grown = resized(pictureOf({{kA, kB}}), 3, 1);
    ASSERT_TRUE(grown);
    expectPixels(*grown, {{kA, blend(0.5, kA, 0.5, kB), kB}});
    const auto doubled = resized(pictureOf({{kA}, {kB}}), 1, 4);
    ASSERT_TRUE(doubled);
    expectPixels(*doubled, {{kA}, {kA}, {kB}, {kB}});
}

TEST(ResizeBitmap, GrowingOneAxisWhileShrinkingTheOtherScalesBoth)
{
    // The width doubles, then rows are averaged in pairs.
    const auto scaled = resized(pictureOf({{kA, kB}, {kC, kD}, {kB, kA}, {kD, kC}}, QImage::Format_RGB32), 4, 2);
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled->format(), QImage::Format_RGB32);
    const QRgb top[2] = {blend(0.5, kA, 0.5, kC), blend(0.5, kB, 0.5, kD)};
    const QRgb bottom[2] = {blend(0.5, kB, 0.5, kD), blend(0.5, kA, 0.5, kC)};
    expectPixels(*scaled, {{top[0], top[0], top[1], top[1]}, {bottom[0], bottom[0], bottom[1], bottom[1]}});
}

TEST(ResizeBitmap, LargeReductionOfAFlatPictureKeepsItsColour)
{
    QImage picture(997, 13, QImage::Format_RGB888);
    picture.fill(qRgb(200, 100, 50));
    const auto shrunk = resized(picture, 31, 5);
    ASSERT_TRUE(shrunk);
    // Weights summing to one in floating point may fall a hair short; truncation then loses one
    // in each of the two passes.
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 31; ++x) {
            const QRgb pixel = shrunk->pixel(x, y);
            EXPECT_NEAR(qRed(pixel), 200, 2);
            EXPECT_NEAR(qGreen(pixel), 100, 2);
            EXPECT_NEAR(qBlue(pixel), 50, 2);
        }
    }
}

TEST(ResizeBitmap, RefusesNoPictureAndEmptySizes)
{
    const QImage picture = pictureOf({{kA}});
    EXPECT_EQ(ResizeBitmap(nullptr, 2, 2), nullptr);
    EXPECT_EQ(ResizeBitmap(const_cast<QImage*>(&picture), 0, 2), nullptr);
    EXPECT_EQ(ResizeBitmap(const_cast<QImage*>(&picture), 2, -1), nullptr);
}

}
