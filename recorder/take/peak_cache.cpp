#include "take/peak_cache.h"

#include "core/file_toolbox.h"
#include "little_endian.h"

#include <QFile>
#include <QPainter>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace wavelark {

namespace {

const QColor kWaveformColour(0, 0, 128);

// The column walk: x advances by the step once per frame, and a frame whose x + step would
// reach the next whole column ends its column; per frame only the mono mix's extremes cost.
class ColumnWalker {
public:
    ColumnWalker(int width, int height, std::size_t frameCount)
        : m_step(static_cast<double>(width + 1) / static_cast<double>(frameCount))
        , m_mid(static_cast<int16_t>(height) / 2)
        // A view without height would divide by zero; it draws at full scale instead.
        , m_scale(static_cast<int16_t>(height) > 0 ? 70000 / static_cast<int16_t>(height) : 70000)
    {
    }

    // Consumes frames; every frame that ends a column emits it. The frame that ends the column
    // is found from x (framesWithinColumn); the mono mix's extremes of the frames up to it are
    // then found in one sweep.
    template <typename Emit>
    void walk(const int16_t* frames, std::size_t count, Emit emitColumn)
    {
        std::size_t frame = 0;
        while (frame < count) {
            double x = m_x;
            const std::size_t last = frame + framesWithinColumn(x, count - frame);
            const bool endsColumn = last < count;
            const std::size_t end = endsColumn ? last + 1 : count;
            sweepExtremes(frames + frame * 2, end - frame);
            if (endsColumn) {
                emitColumn(static_cast<int>(x), m_maximum, m_minimum);
                m_maximum = 0;
                m_minimum = 0;
                x += m_step;
            }
            m_x = x;
            frame = end;
        }
    }

    int rowOf(int value) const { return m_mid - value / m_scale; }
    int mid() const { return m_mid; }

private:
    // Whether the frame at x ends its column. x is never negative, so its fractional part is
    // x - trunc(x), exactly fmod(x, 1.0).
    bool endsColumn(double x) const { return x - static_cast<double>(static_cast<int64_t>(x)) + m_step >= 1.0; }

    // The number of frames, at most limit, that x passes by adding the step once per frame
    // before it reaches a frame that ends its column; x is left at that frame. The result is the
    // one of the plain frame-by-frame additions, found without making them: within one binade
    // of x every rounded addition of the step adds the same number of x's units in the last
    // place (a rounding tie to even settles after the first addition), so x after m more
    // frames is exactly x + m × that increment, counted in integer units; and while trunc(x)
    // stands still, whether a frame ends the column can only change once, from no to yes, so
    // the first frame that does is found by halving. The additions are made one by one only
    // at a binade's edge and once after each column.
    std::size_t framesWithinColumn(double& x, std::size_t limit) const
    {
        std::size_t passed = 0;
        while (passed < limit) {
            if (endsColumn(x))
                return passed;
            x += m_step;
            ++passed;
            if (passed == limit || endsColumn(x))
                return passed;
            int exponent = 0;
            std::frexp(x, &exponent); // x in [2^(exponent - 1), 2^exponent)
            const double unit = std::ldexp(1.0, exponent - 53);
            const double top = std::ldexp(1.0, exponent);
            // The first addition inside the binade settles a tie's rounding to even.
            if (x + m_step >= top)
                continue;
            x += m_step;
            ++passed;
            if (passed == limit || endsColumn(x))
                return passed;
            const double next = x + m_step;
            if (next >= top)
                continue;
            constexpr int64_t kBinadeUnits = int64_t{1} << 53;
            const auto start = static_cast<int64_t>(x / unit);
            const auto increment = static_cast<int64_t>((next - x) / unit);
            if (increment <= 0)
                continue;
            // The frames whose x and x + step stay within the binade, and within trunc(x) + 1.
            int64_t room = (kBinadeUnits - 2 * increment - start) / increment;
            const double whole = static_cast<double>(static_cast<int64_t>(x));
            if (whole + 1.0 < top)
                room = std::min(room, (static_cast<int64_t>((whole + 1.0) / unit) - 1 - start) / increment);
            room = std::min<int64_t>(room, static_cast<int64_t>(limit - passed));
            if (room < 2)
                continue;
            const auto xAfter = [&](int64_t frames) { return static_cast<double>(start + frames * increment) * unit; };
            if (!endsColumn(xAfter(room))) {
                x = xAfter(room);
                passed += static_cast<std::size_t>(room);
                continue;
            }
            // endsColumn is false at 0 frames and true at room frames.
            int64_t low = 0;
            int64_t high = room;
            while (high - low > 1) {
                const int64_t middle = low + (high - low) / 2;
                (endsColumn(xAfter(middle)) ? high : low) = middle;
            }
            x = xAfter(high);
            return passed + static_cast<std::size_t>(high);
        }
        return passed;
    }

    // The largest and the smallest mono mix (left >> 1) + (right >> 1) so far, both starting at
    // 0: only positive values raise the maximum and only negative ones lower the minimum.
    void sweepExtremes(const int16_t* samples, std::size_t frameCount)
    {
        std::size_t frame = 0;
#if defined(__SSE2__)
        if (frameCount >= 8) {
            __m128i maximum = _mm_set1_epi16(static_cast<int16_t>(m_maximum));
            __m128i minimum = _mm_set1_epi16(static_cast<int16_t>(m_minimum));
            const __m128i ones = _mm_set1_epi16(1);
            for (; frame + 8 <= frameCount; frame += 8) {
                const auto* at = reinterpret_cast<const __m128i*>(samples + frame * 2);
                // Halve every sample, add each frame's pair into 32 bits (it fits 16) and pack.
                const __m128i first = _mm_madd_epi16(_mm_srai_epi16(_mm_loadu_si128(at), 1), ones);
                const __m128i second = _mm_madd_epi16(_mm_srai_epi16(_mm_loadu_si128(at + 1), 1), ones);
                const __m128i mixed = _mm_packs_epi32(first, second);
                maximum = _mm_max_epi16(maximum, mixed);
                minimum = _mm_min_epi16(minimum, mixed);
            }
            alignas(16) int16_t lanes[8];
            _mm_store_si128(reinterpret_cast<__m128i*>(lanes), maximum);
            for (int16_t lane : lanes)
                m_maximum = std::max<int>(m_maximum, lane);
            _mm_store_si128(reinterpret_cast<__m128i*>(lanes), minimum);
            for (int16_t lane : lanes)
                m_minimum = std::min<int>(m_minimum, lane);
        }
#endif
        for (; frame < frameCount; ++frame) {
            const int mixed = static_cast<int16_t>((samples[frame * 2] >> 1) + (samples[frame * 2 + 1] >> 1));
            if (mixed < 0 && mixed < m_minimum)
                m_minimum = mixed;
            else if (mixed >= 0 && mixed > m_maximum)
                m_maximum = mixed;
        }
    }

    double m_step;
    double m_x = 0.0;
    int m_mid;
    int m_scale;
    int m_maximum = 0;
    int m_minimum = 0;
};

// Pen moves and vertices, drawn as they come.
class PolylineDrawer {
public:
    PolylineDrawer(QImage* image, std::vector<PeakVertex>& vertices)
        : m_vertices(vertices)
    {
        if (image) {
            m_painter.emplace(image);
            m_painter->setPen(QPen(kWaveformColour, 1));
        }
    }

    void column(const ColumnWalker& walker, int x, int maximum, int minimum)
    {
        if (maximum != 0)
            add(x, walker.rowOf(maximum));
        if (minimum != 0)
            add(x, walker.rowOf(minimum));
        if (maximum == 0 && minimum == 0)
            m_pen = QPoint(x, walker.mid());
    }

    void centreLine(int width, int mid)
    {
        if (m_painter)
            m_painter->drawLine(0, mid, width, mid);
    }

private:
    void add(int x, int y)
    {
        const QPoint point(x, y);
        if (!m_started) {
            m_started = true;
            m_pen = point;
            m_vertices.push_back({static_cast<int16_t>(x), static_cast<int16_t>(y)});
        }
        if (m_painter)
            m_painter->drawLine(m_pen, point);
        m_pen = point;
        m_vertices.push_back({static_cast<int16_t>(x), static_cast<int16_t>(y)});
    }

    std::vector<PeakVertex>& m_vertices;
    std::optional<QPainter> m_painter;
    QPoint m_pen;
    bool m_started = false;
};

// Replaced whole (core/file_toolbox.h): a build stopped part-way leaves the old cache or none,
// never a part of a picture that the next start would draw as the take's.
bool writeVertices(const QString& cachePath, const std::vector<PeakVertex>& vertices)
{
    std::vector<uint8_t> bytes(vertices.size() * 4);
    for (std::size_t index = 0; index < vertices.size(); ++index) {
        writeLittleEndian16(bytes.data() + index * 4, static_cast<uint16_t>(vertices[index].x));
        writeLittleEndian16(bytes.data() + index * 4 + 2, static_cast<uint16_t>(vertices[index].y));
    }
    return !replaceFile(QFile::encodeName(cachePath).toStdString(), bytes);
}

}

std::vector<PeakVertex> computePeakVertices(const int16_t* frames, std::size_t frameCount, int width, int height)
{
    std::vector<PeakVertex> vertices;
    if (frameCount == 0)
        return vertices;
    ColumnWalker walker(width, height, frameCount);
    PolylineDrawer drawer(nullptr, vertices);
    walker.walk(frames, frameCount,
                [&](int x, int maximum, int minimum) { drawer.column(walker, x, maximum, minimum); });
    return vertices;
}

PeakCacheResult buildPeakCache(const QString& takePath, const QString& cachePath, QImage& image,
                               const BlockProgress& progress)
{
    PeakCacheResult result;
    QFile reader(takePath);
    if (!reader.open(QIODevice::ReadOnly))
        return result;
    result.takeOpened = true;
    const uint64_t bytes = static_cast<uint64_t>(reader.size()) & ~uint64_t{3};
    const std::size_t frames = bytes / 4;
    const int width = image.width();
    const int height = image.height();
    {
        PolylineDrawer drawer(&image, result.vertices);
        if (frames > 0) {
            ColumnWalker walker(width, height, frames);
            AlignedBlock block = allocateBlock(kPeakCacheBlockSize);
            uint64_t done = 0;
            int reported = -1;
            while (done < bytes) {
                const qint64 wanted = static_cast<qint64>(std::min<uint64_t>(kPeakCacheBlockSize, bytes - done));
                const qint64 got = reader.read(reinterpret_cast<char*>(block.get()), wanted);
                if (got <= 0)
                    break;
                walker.walk(reinterpret_cast<const int16_t*>(block.get()), static_cast<std::size_t>(got) / 4,
                            [&](int x, int maximum, int minimum) { drawer.column(walker, x, maximum, minimum); });
                done += static_cast<uint64_t>(got);
                const int percent = static_cast<int>(100.0 * static_cast<double>(done) / static_cast<double>(bytes));
                if (progress && percent != reported) {
                    reported = percent;
                    progress(percent);
                }
                if (got < wanted)
                    break;
            }
        }
        drawer.centreLine(width, static_cast<int16_t>(height) / 2);
    }
    result.cacheWritten = writeVertices(cachePath, result.vertices);
    return result;
}

bool loadPeakCache(const QString& cachePath, QImage& image)
{
    QFile cache(cachePath);
    if (!cache.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = cache.readAll();
    if (bytes.size() < 8)
        return false;
    const std::size_t count = static_cast<std::size_t>(bytes.size()) / 4;
    QPolygon polyline(static_cast<int>(count));
    for (std::size_t index = 0; index < count; ++index) {
        const auto* vertex = reinterpret_cast<const uint8_t*>(bytes.constData()) + index * 4;
        const auto x = static_cast<int16_t>(readLittleEndian16(vertex));
        const auto y = static_cast<int16_t>(readLittleEndian16(vertex + 2));
        polyline.setPoint(static_cast<int>(index), x, y);
    }
    QPainter painter(&image);
    painter.setPen(QPen(kWaveformColour, 1));
    painter.drawPolyline(polyline);
    painter.drawLine(0, image.height() / 2, image.width(), image.height() / 2);
    return true;
}

}
