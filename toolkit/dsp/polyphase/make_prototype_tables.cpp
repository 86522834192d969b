// Builds prototype_tables.cpp: the four half-length low-pass prototypes of the polyphase engine.
//
// Each prototype is the right half of a symmetric low-pass impulse response sampled 32 times per
// input sample at the offsets (i + 0.5) / 32, in Q31, normalised so that the half table sums to
// 2^35 exactly (unit gain at 0 Hz for the full response after the 32-fold oversampling); the last
// entry takes the rounding remainder.
//
// The response is a low-pass of cut-off fc (in input sample rates) whose pass band may roll off
// along a Gaussian of width fg, windowed by a Kaiser window of the table's length:
//     h(u) = kaiser(u / c, beta) * integral over 0..fc of exp(-(f / fg)^2) cos(2 pi f u) df
// (without roll-off this is the plain windowed sinc). Each type fixes its first entry exactly and
// places its first zero crossing: fc is solved for the crossing and fg for the first entry. The two
// short types cannot reach their crossing without a pass band that sags by several dB, so they
// keep a flat pass band (no roll-off) and solve fc for the first entry instead.
//
// Usage: make_prototype_tables <output.cpp>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

struct TypeDesign {
    int halfLength;
    int64_t firstEntry;
    double zeroCrossing;
    double beta;
    bool rollOff;
};

constexpr TypeDesign kDesigns[4] = {
    {4, 1879001565, 1.108, 6.0, false},
    {8, 1772753427, 1.144, 8.0, false},
    {12, 1903680272, 1.096, 8.0, true},
    {16, 1990275845, 1.066, 9.0, true},
};

constexpr double kTableSum = 34359738368.0; // 2^35

struct Response {
    int halfLength = 0;
    double cutoff = 0.45;
    double rollOffWidth = 0.0; // 0: flat pass band
    double beta = 0.0;

    double kaiser(double u) const
    {
        double r = u / halfLength;
        double inside = r < 1.0 ? std::sqrt(1.0 - r * r) : 0.0;
        return std::cyl_bessel_i(0.0, beta * inside) / std::cyl_bessel_i(0.0, beta);
    }

    double lowPass(double u) const
    {
        if (rollOffWidth == 0.0)
            return u == 0.0 ? cutoff : std::sin(2.0 * std::numbers::pi * cutoff * u) / (2.0 * std::numbers::pi * u);
        // Simpson's rule; the integrand is smooth and a few hundred intervals give full precision.
        constexpr int kIntervals = 512;
        double width = cutoff / kIntervals;
        double sum = 0.0;
        for (int i = 0; i <= kIntervals; ++i) {
            double f = i * width;
            double weight = (i == 0 || i == kIntervals) ? 1.0 : (i % 2 ? 4.0 : 2.0);
            sum += weight * std::exp(-(f / rollOffWidth) * (f / rollOffWidth)) * std::cos(2.0 * std::numbers::pi * f * u);
        }
        return sum * width / 3.0;
    }

    double value(double u) const { return lowPass(u) * kaiser(u); }

    double firstZeroCrossing() const
    {
        double below = 0.0;
        double above = 0.25;
        while (value(above) > 0.0) {
            below = above;
            above += 0.25;
        }
        for (int i = 0; i < 60; ++i) {
            double middle = (below + above) / 2.0;
            (value(middle) > 0.0 ? below : above) = middle;
        }
        return below;
    }

    // The table before rounding, scaled to sum to 2^35.
    std::vector<double> scaledTable() const
    {
        std::vector<double> table(32 * halfLength);
        double sum = 0.0;
        for (size_t i = 0; i < table.size(); ++i) {
            table[i] = value((i + 0.5) / 32.0);
            sum += table[i];
        }
        for (double& entry : table)
            entry *= kTableSum / sum;
        return table;
    }
};

// Bisection of a function that falls through zero between low and high.
template <typename Function>
double fallingRoot(double low, double high, Function function)
{
    for (int i = 0; i < 80; ++i) {
        double middle = (low + high) / 2.0;
        (function(middle) > 0.0 ? low : high) = middle;
    }
    return (low + high) / 2.0;
}

std::vector<int64_t> designTable(const TypeDesign& design, Response& response)
{
    response.halfLength = design.halfLength;
    response.beta = design.beta;
    double target = static_cast<double>(design.firstEntry);
    if (design.rollOff) {
        auto placeCrossing = [&] {
            response.cutoff = fallingRoot(0.3, 0.7, [&](double cutoff) {
                response.cutoff = cutoff;
                return response.firstZeroCrossing() - design.zeroCrossing;
            });
        };
        // A narrower roll-off lowers the first entry.
        fallingRoot(0.5, 8.0, [&](double width) {
            response.rollOffWidth = width;
            placeCrossing();
            return target - response.scaledTable()[0];
        });
        placeCrossing();
    } else {
        response.rollOffWidth = 0.0;
        response.cutoff = fallingRoot(0.3, 0.7, [&](double cutoff) {
            response.cutoff = cutoff;
            return target - response.scaledTable()[0];
        });
    }
    std::vector<double> scaled = response.scaledTable();
    std::vector<int64_t> table(scaled.size());
    int64_t sum = 0;
    for (size_t i = 0; i + 1 < table.size(); ++i) {
        table[i] = std::llround(scaled[i]);
        sum += table[i];
    }
    table.back() = static_cast<int64_t>(kTableSum) - sum;
    return table;
}

// First zero crossing of the rounded table, by linear interpolation between its entries.
double tableZeroCrossing(const std::vector<int64_t>& table)
{
    for (size_t i = 1; i < table.size(); ++i)
        if (table[i] <= 0) {
            double fraction = static_cast<double>(table[i - 1]) / static_cast<double>(table[i - 1] - table[i]);
            return (i - 1 + 0.5 + fraction) / 32.0;
        }
    return 0.0;
}

}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.cpp>\n", argv[0]);
        return 2;
    }
    FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(out, "// Generated by make_prototype_tables.cpp; do not edit by hand.\n");
    std::fprintf(out, "#include \"prototype_tables.h\"\n\nnamespace sorvak::polyphase {\n\nnamespace {\n\n");
    for (int type = 0; type < 4; ++type) {
        const TypeDesign& design = kDesigns[type];
        Response response;
        std::vector<int64_t> table = designTable(design, response);
        int64_t sum = 0;
        for (int64_t entry : table)
            sum += entry;
        std::printf("type %d: first %lld (wanted %lld), zero crossing %.4f (wanted %.3f), sum 2^35%+lld, last %lld,"
                    " cut-off %.5f, roll-off %.4f, beta %.1f\n",
                    type, static_cast<long long>(table[0]), static_cast<long long>(design.firstEntry),
                    tableZeroCrossing(table), design.zeroCrossing, static_cast<long long>(sum - (int64_t{1} << 35)),
                    static_cast<long long>(table.back()), response.cutoff, response.rollOffWidth, design.beta);
        std::fprintf(out, "// Cut-off %.5f, Gaussian roll-off width %.4f (0: none), Kaiser beta %.1f.\n", response.cutoff,
                     response.rollOffWidth, design.beta);
        std::fprintf(out, "const int32_t kType%d[%zu] = {", type, table.size());
        for (size_t i = 0; i < table.size(); ++i)
            std::fprintf(out, "%s%lld,", i % 6 == 0 ? "\n    " : " ", static_cast<long long>(table[i]));
        std::fprintf(out, "\n};\n\n");
    }
    std::fprintf(out, "}\n\nconst PrototypeTable kPrototypeTables[4] = {\n");
    for (int type = 0; type < 4; ++type)
        std::fprintf(out, "    {%d, kType%d},\n", kDesigns[type].halfLength, type);
    std::fprintf(out, "};\n\n}\n");
    return std::fclose(out) == 0 ? 0 : 1;
}
