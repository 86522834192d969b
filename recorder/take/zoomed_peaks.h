// The zoomed waveform's columns, read from the take itself: per view pixel the largest and the
// smallest mono mix (left >> 1) + (right >> 1) of the frames that pixel holds, both starting at 0,
// as the peak cache counts them for the whole take. The peak cache (wd.dat) stays the picture of
// the whole take; this reader serves a view that shows a part of it.
//
// A fine zoom reads only the frames it shows. A coarse one (more than kDirectFramesPerPixel
// frames a pixel) draws from a summary of the whole take, kSummaryFrames frames a bin, made by
// one read of the take the first time it is needed and kept until reset() (a new take) or until
// the take's length changes: its pixels' edges fall on the bins' edges, off by less than a
// sixteenth of a pixel. Window thread; one reader per take.
#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace wavelark {

struct ColumnExtremes {
    int16_t maximum = 0;
    int16_t minimum = 0;
    bool operator==(const ColumnExtremes&) const = default;
};

class ZoomedPeaks {
public:
    static constexpr double kDirectFramesPerPixel = 4096.0;
    static constexpr uint64_t kSummaryFrames = 256;

    explicit ZoomedPeaks(QString takePath);

    // Forgets the summary: the take was replaced.
    void reset();
    // The extremes of columns pixels from firstFrame, pixel x holding the frames from
    // firstFrame + floor(x × framesPerPixel) up to the next pixel's first (framesPerPixel >= 1).
    // Pixels past the take's end are 0. False, with the reason in error, when the take cannot be
    // opened or read; columns then holds nothing.
    bool read(uint64_t firstFrame, double framesPerPixel, int width, std::vector<ColumnExtremes>& columns,
              std::string* error);

private:
    bool buildSummary(int descriptor, uint64_t takeFrames, std::string* error);

    QString m_takePath;
    std::vector<ColumnExtremes> m_summary;  // one bin per kSummaryFrames frames of the take
    uint64_t m_summaryFrames = 0;           // the take's frames when the summary was made
    std::vector<int16_t> m_buffer;          // the samples of the last read
};

}
