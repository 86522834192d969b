// The peak cache: the take's waveform as one polyline that zig-zags column by column between the
// loudest positive and the loudest negative value of a mono mix, stored as wd.dat (4-byte
// vertices, x then y, signed 16-bit little-endian, the first vertex stored twice). Build reads
// the take once and draws on the waveform image as it goes; Load draws from the file. Window
// thread.
#pragma once

#include "take/pcm_blocks.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace wavelark {

// The read block of the build.
inline constexpr std::size_t kPeakCacheBlockSize = 1048576;

struct PeakVertex {
    int16_t x = 0;
    int16_t y = 0;
};

struct PeakCacheResult {
    bool takeOpened = false;        // false: nothing drawn, wd.dat left as it was
    bool cacheWritten = false;      // wd.dat holds the vertices
    std::vector<PeakVertex> vertices;
};

// Computes the polyline of the take at takePath for a view of image's size, draws it and the
// centre line on image (in the waveform pen) and writes the vertices to cachePath. progress runs
// after every block read (the window repaints there, so the user sees the waveform grow).
// When cachePath cannot be written, the waveform is drawn without caching.
PeakCacheResult buildPeakCache(const QString& takePath, const QString& cachePath, QImage& image,
                               const BlockProgress& progress = {});

// The vertices only, with the take's bytes given in memory (for checks against the file build).
std::vector<PeakVertex> computePeakVertices(const int16_t* frames, std::size_t frameCount, int width, int height);

// Draws the waveform from cachePath onto image. False when the cache is missing, unreadable or
// shorter than 8 bytes (nothing drawn: the caller rebuilds).
bool loadPeakCache(const QString& cachePath, QImage& image);

}
