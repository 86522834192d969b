// DrawSolidRectangle on a picture through QPainter: outline, fill, edges and mix modes.

#include "sorvak.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr uint32_t kRedReference = 0x000000FF;
constexpr uint32_t kBlueReference = 0x00FF0000;
constexpr QRgb kWhite = 0xFFFFFFFF;

QImage patterned(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, qRgb(x * 23 % 256, y * 41 % 256, (x * y * 7) % 256));
    }
    return picture;
}

int draw(QImage& picture, int left, int top, int right, int bottom, int penWidth, int penStyle, uint32_t pen,
         uint32_t brush, int mode)
{
    QPainter painter(&picture);
    return DrawSolidRectangle(&painter, left, top, right, bottom, penWidth, penStyle, pen, brush, mode);
}

// A picture as rows of letters: W white, R red, B blue.
std::vector<std::string> letters(const QImage& picture)
{
    std::vector<std::string> rows;
    for (int y = 0; y < picture.height(); ++y) {
        std::string row;
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb pixel = picture.pixel(x, y) & 0xFFFFFF;
            row += pixel == 0xFFFFFF ? 'W' : pixel == 0xFF0000 ? 'R' : pixel == 0x0000FF ? 'B' : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

QImage white(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(kWhite);
    return picture;
}

TEST(DrawSolidRectangle, OutlineAndFillLeaveTheRightAndBottomEdgesOut)
{
    QImage picture = white(8, 6);
    EXPECT_NE(draw(picture, 1, 1, 6, 5, 1, 0, kRedReference, kBlueReference, 0), 0);
    const std::vector<std::string> expected {"WWWWWWWW", "WRRRRRWW", "WRBBBRWW", "WRBBBRWW", "WRRRRRWW", "WWWWWWWW"};
    EXPECT_EQ(letters(picture), expected);
}

TEST(DrawSolidRectangle, WidePenDrawsItsOutlineInside)
{
    QImage picture = white(8, 7);
    draw(picture, 7, 0, 0, 7, 2, 0, kRedReference, kBlueReference, 0);
    const std::vector<std::string> expected {"RRRRRRRW", "RRRRRRRW", "RRBBBRRW", "RRBBBRRW",
                                             "RRBBBRRW", "RRRRRRRW", "RRRRRRRW"};
    EXPECT_EQ(letters(picture), expected);
}

TEST(DrawSolidRectangle, NullPenFillsOnePixelShort)
{
    QImage picture = white(6, 5);
    draw(picture, 1, 1, 5, 4, 1, 5, kRedReference, kBlueReference, 0);
    const std::vector<std::string> expected {"WWWWWW", "WBBBWW", "WBBBWW", "WWWWWW", "WWWWWW"};
    EXPECT_EQ(letters(picture), expected);
}

struct MixCase {
    int mode;
    QRgb (*expected)(QRgb destination, QRgb colour);
};

class DrawSolidRectangleMix : public ::testing::TestWithParam<MixCase> {};

TEST_P(DrawSolidRectangleMix, CombinesColourAndPictureBitByBit)
{
    const QImage before = patterned(12, 9);
    QImage picture = before;
    constexpr uint32_t kColourReference = 0x0033AA5C;
    const QRgb colour = qRgb(0x5C, 0xAA, 0x33);
    draw(picture, 2, 1, 10, 8, 1, 0, kColourReference, kColourReference, GetParam().mode);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const bool inside = x >= 2 && x < 10 && y >= 1 && y < 8;
            const QRgb wanted = inside ? GetParam().expected(before.pixel(x, y), colour) : before.pixel(x, y);
            ASSERT_EQ(picture.pixel(x, y) & 0xFFFFFF, wanted & 0xFFFFFF) << "at " << x << "," << y;
            // An opaque picture stays opaque.
            ASSERT_EQ(qAlpha(picture.pixel(x, y)), 255) << "at " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, DrawSolidRectangleMix,
    ::testing::Values(MixCase {0, [](QRgb, QRgb colour) { return colour; }},
                      MixCase {1, [](QRgb destination, QRgb colour) { return destination & colour; }},
                      MixCase {2, [](QRgb destination, QRgb colour) { return destination | colour; }},
                      MixCase {3, [](QRgb destination, QRgb colour) { return destination ^ colour; }},
                      MixCase {13, [](QRgb, QRgb colour) { return colour; }},
                      MixCase {6, [](QRgb destination, QRgb) { return ~destination; }},
                      MixCase {11, [](QRgb destination, QRgb) { return destination; }}));

TEST(DrawSolidRectangle, XorTwiceGivesThePictureBack)
{
    const QImage before = patterned(16, 16);
    QImage picture = before;
    ASSERT_NE(draw(picture, 3, 2, 14, 15, 3, 0, 0x00123456, 0x00ABCDEF, 3), 0);
    // The first pass changes every pixel of the rectangle (both colours are non-zero) and no other.
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool inside = x >= 3 && x < 14 && y >= 2 && y < 15;
            ASSERT_EQ((picture.pixel(x, y) & 0xFFFFFF) != (before.pixel(x, y) & 0xFFFFFF), inside)
                << "at " << x << "," << y;
        }
    }
    ASSERT_NE(draw(picture, 3, 2, 14, 15, 3, 0, 0x00123456, 0x00ABCDEF, 3), 0);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(picture.pixel(x, y) & 0xFFFFFF, before.pixel(x, y) & 0xFFFFFF) << "at " << x << "," << y;
    }
}

TEST(DrawSolidRectangle, DashedOutlineLeavesGapsAndKeepsTheFill)
{
    QImage picture = white(30, 6);
    draw(picture, 0, 0, 30, 6, 1, 1, kRedReference, kBlueReference, 0);
    const std::string top = letters(picture)[0];
    EXPECT_NE(top.find('R'), std::string::npos);
    EXPECT_NE(top.find('W'), std::string::npos);
    EXPECT_EQ(letters(picture)[2].substr(1, 28), std::string(28, 'B'));
}

TEST(DrawSolidRectangle, NeedsAnActivePainter)
{
    EXPECT_EQ(DrawSolidRectangle(nullptr, 0, 0, 4, 4, 1, 0, 0, 0, 0), 0);
    QPainter idle;
    EXPECT_EQ(DrawSolidRectangle(&idle, 0, 0, 4, 4, 1, 0, 0, 0, 0), 0);
}

}
