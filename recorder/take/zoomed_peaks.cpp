#include "take/zoomed_peaks.h"

#include "core/file_toolbox.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wavelark {

namespace {

// The summary is made from reads of this many frames (a whole number of bins).
constexpr uint64_t kSummaryReadFrames = 262144;

void widen(const int16_t* samples, uint64_t frames, ColumnExtremes& extremes)
{
    int maximum = extremes.maximum;
    int minimum = extremes.minimum;
    for (uint64_t frame = 0; frame < frames; ++frame) {
        const auto mixed = static_cast<int16_t>((samples[frame * 2] >> 1) + (samples[frame * 2 + 1] >> 1));
        maximum = std::max<int>(maximum, mixed);
        minimum = std::min<int>(minimum, mixed);
    }
    extremes.maximum = static_cast<int16_t>(maximum);
    extremes.minimum = static_cast<int16_t>(minimum);
}

void widen(const ColumnExtremes& bin, ColumnExtremes& extremes)
{
    extremes.maximum = std::max(extremes.maximum, bin.maximum);
    extremes.minimum = std::min(extremes.minimum, bin.minimum);
}

std::string systemReason()
{
    return std::strerror(errno);
}

// Reads frames from firstFrame into buffer; false when the read fails or the take ends early.
bool readFrames(int descriptor, uint64_t firstFrame, uint64_t frames, std::vector<int16_t>& buffer, std::string* error)
{
    buffer.resize(frames * 2);
    const ssize_t got = readFully(descriptor, reinterpret_cast<uint8_t*>(buffer.data()), frames * 4, firstFrame * 4);
    if (got < 0) {
        *error = systemReason();
        return false;
    }
    if (static_cast<uint64_t>(got) != frames * 4) {
        *error = "the take is shorter than it was";
        return false;
    }
    return true;
}

}

ZoomedPeaks::ZoomedPeaks(QString takePath)
    : m_takePath(std::move(takePath))
{
}

void ZoomedPeaks::reset()
{
    m_summary.clear();
    m_summary.shrink_to_fit();
    m_summaryFrames = 0;
}

bool ZoomedPeaks::read(uint64_t firstFrame, double framesPerPixel, int width, std::vector<ColumnExtremes>& columns,
                       std::string* error)
{
    columns.clear();
    const int descriptor = ::open(QFile::encodeName(m_takePath).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        *error = systemReason();
        return false;
    }
    const FileDescriptor owner(descriptor);
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        *error = systemReason();
        return false;
    }
    const uint64_t takeFrames = static_cast<uint64_t>(status.st_size) / 4;
    const double zoom = std::max(framesPerPixel, 1.0);
    const auto pixelStart = [&](int x) {
        return std::min(takeFrames, firstFrame + static_cast<uint64_t>(std::floor(x * zoom)));
    };
    std::vector<ColumnExtremes> result(static_cast<std::size_t>(std::max(width, 0)));
    if (zoom <= kDirectFramesPerPixel) {
        const uint64_t from = pixelStart(0);
        if (!readFrames(descriptor, from, pixelStart(width) - from, m_buffer, error))
            return false;
        for (int x = 0; x < width; ++x)
            widen(m_buffer.data() + (pixelStart(x) - from) * 2, pixelStart(x + 1) - pixelStart(x), result[x]);
    } else {
        if (m_summaryFrames != takeFrames || m_summary.empty()) {
            if (!buildSummary(descriptor, takeFrames, error))
                return false;
        }
        for (int x = 0; x < width; ++x) {
            const uint64_t start = pixelStart(x);
            const uint64_t end = pixelStart(x + 1);
            if (end <= start)
                continue;
            for (uint64_t bin = start / kSummaryFrames; bin <= (end - 1) / kSummaryFrames; ++bin)
                widen(m_summary[bin], result[x]);
        }
    }
    columns = std::move(result);
    return true;
}

bool ZoomedPeaks::buildSummary(int descriptor, uint64_t takeFrames, std::string* error)
{
    reset();
    std::vector<ColumnExtremes> summary((takeFrames + kSummaryFrames - 1) / kSummaryFrames);
    for (uint64_t from = 0; from < takeFrames; from += kSummaryReadFrames) {
        const uint64_t frames = std::min(kSummaryReadFrames, takeFrames - from);
        if (!readFrames(descriptor, from, frames, m_buffer, error))
            return false;
        for (uint64_t offset = 0; offset < frames; offset += kSummaryFrames)
            widen(m_buffer.data() + offset * 2, std::min(kSummaryFrames, frames - offset),
                  summary[(from + offset) / kSummaryFrames]);
    }
    m_summary = std::move(summary);
    m_summaryFrames = takeFrames;
    // The read buffer of the summary is far larger than a fine zoom's.
    m_buffer = std::vector<int16_t>();
    return true;
}

}
