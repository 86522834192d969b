// The level meters' peaks, 0.0..1.0 per channel: raised by the capture worker from each
// buffer, lowered one step a timer tick by the window thread, read when the meters are painted.
// Also the count of buffers per channel with input at full scale, for the meters' clip lamps:
// only ever counted up, so a lamp compares it with the count when it was last put out.
// Plain atomics: a raise that meets a lowering may lose one of them, which a meter never shows.
#pragma once

#include <atomic>
#include <cstdint>

namespace wavelark {

// What one timer tick takes off a positive peak: a full meter falls in 26 ticks.
inline constexpr double kMeterFall = 1.0 / 26.0;

class LevelPeaks {
public:
    // Capture worker: keeps the larger of each channel's peak and the buffer's.
    void raise(double left, double right)
    {
        if (left > m_left.load())
            m_left = left;
        if (right > m_right.load())
            m_right = right;
    }
    // Window thread, once a timer tick.
    void lower()
    {
        m_left = lowered(m_left.load());
        m_right = lowered(m_right.load());
    }
    // Any thread.
    void set(double left, double right)
    {
        m_left = left;
        m_right = right;
    }
    // Capture worker: the buffer held full-scale input on these channels.
    void countClipping(bool left, bool right)
    {
        if (left)
            m_clippedLeft.fetch_add(1, std::memory_order_relaxed);
        if (right)
            m_clippedRight.fetch_add(1, std::memory_order_relaxed);
    }
    uint64_t clippedLeft() const { return m_clippedLeft.load(std::memory_order_relaxed); }
    uint64_t clippedRight() const { return m_clippedRight.load(std::memory_order_relaxed); }
    double left() const { return m_left.load(); }
    double right() const { return m_right.load(); }

    static double lowered(double peak) { return peak > 0.0 ? peak - kMeterFall : peak; }

private:
    // Full at start-up: the meters fall into place as the window opens.
    std::atomic<double> m_left{1.0};
    std::atomic<double> m_right{1.0};
    std::atomic<uint64_t> m_clippedLeft{0};
    std::atomic<uint64_t> m_clippedRight{0};
};

}
