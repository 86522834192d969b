// The peak cache's column walk finds the frame that ends each column without adding the step
// frame by frame: its columns must be those of the plain additions for every take length and
// view width, across binade edges of x and rounding ties of the step.

#include "take/peak_cache.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace wavelark {
namespace {

struct WalkShape {
    std::size_t frames;
    int width;
};

// The columns that end, frame by frame: the frame index and int(x) of each.
std::vector<std::pair<std::size_t, int>> plainColumnEnds(std::size_t frames, int width)
{
    std::vector<std::pair<std::size_t, int>> ends;
    const double step = static_cast<double>(width + 1) / static_cast<double>(frames);
    double x = 0.0;
    for (std::size_t frame = 0; frame < frames; ++frame, x += step)
        if (std::fmod(x, 1.0) + step >= 1.0)
            ends.emplace_back(frame, static_cast<int>(x));
    return ends;
}

class PeakColumnWalk : public ::testing::TestWithParam<WalkShape> {};

// The frames of the k-th column hold one positive level of their own, rising from column to
// column (and falling once every 48 columns): a column ended a frame late takes in the next
// column's louder first frame, one ended a frame early hands its frame on, and either shows
// as a vertex at the wrong row; a column ended at the wrong x shows in the vertex's column.
TEST_P(PeakColumnWalk, EndsTheColumnsOfThePlainAdditions)
{
    const WalkShape shape = GetParam();
    const auto ends = plainColumnEnds(shape.frames, shape.width);
    const auto level = [](std::size_t column) { return static_cast<int16_t>(640 + (column % 48) * 640); };
    std::vector<int16_t> samples(shape.frames * 2, 0);
    std::size_t frame = 0;
    for (std::size_t column = 0; column <= ends.size(); ++column)
        for (; frame < shape.frames && (column == ends.size() || frame <= ends[column].first); ++frame)
            samples[frame * 2] = samples[frame * 2 + 1] = level(column);
    const int scale = 70000 / 115;
    std::vector<std::pair<int, int>> expected;
    for (std::size_t column = 0; column < ends.size(); ++column) {
        if (expected.empty())
            expected.emplace_back(ends[column].second, 57 - level(column) / scale);
        expected.emplace_back(ends[column].second, 57 - level(column) / scale);
    }
    std::vector<std::pair<int, int>> vertices;
    for (const PeakVertex& vertex : computePeakVertices(samples.data(), shape.frames, shape.width, 115))
        vertices.emplace_back(vertex.x, vertex.y);
    EXPECT_EQ(vertices, expected);
}

std::vector<WalkShape> walkShapes()
{
    std::vector<WalkShape> shapes{
        {1, 555},       {2, 555},       {555, 555},     {556, 555},      {557, 555},      {1000, 1},
        {1024, 555},    {65536, 555},   {65537, 555},   {1 << 20, 1023}, {1 << 20, 2047}, {3 * 44100, 555},
        {441000, 555},  {999983, 555},  {1000000, 1},   {1000000, 2},    {262147, 1919},  {4096, 4095},
    };
    // Steps with every last mantissa bit: ties to even at the first binades of x.
    std::mt19937_64 random(11);
    for (int row = 0; row < 12; ++row)
        shapes.push_back({static_cast<std::size_t>(random() % 700000 + 1), static_cast<int>(random() % 2000 + 1)});
    return shapes;
}

INSTANTIATE_TEST_SUITE_P(Shapes, PeakColumnWalk, ::testing::ValuesIn(walkShapes()),
                         [](const ::testing::TestParamInfo<WalkShape>& info) {
                             return std::to_string(info.param.frames) + "Frames" + std::to_string(info.param.width)
                                    + "Wide";
                         });

}
}
