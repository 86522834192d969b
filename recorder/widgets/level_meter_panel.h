// The meters as the window shows them: the scale the user chose, each meter's peak-hold segment
// and clip lamp, kept from one paint to the next. The client area owns one, paints it with the
// capture's levels and hands it the clicks on its clip lamps. Window thread only.
#pragma once

#include "widgets/meter_scale.h"

#include <QPoint>

#include <array>
#include <cstdint>
#include <functional>

class QPainter;

namespace wavelark {

struct Skin;

// What the capture reports for the meters (audio/level_peaks.h).
struct MeterLevels {
    double left = 1.0;           // 0.0..1.0
    double right = 1.0;
    uint64_t clippedLeft = 0;    // buffers with full-scale input so far
    uint64_t clippedRight = 0;
};

class LevelMeterPanel {
public:
    // Seconds on a steady clock; tests give their own.
    using Clock = std::function<double()>;
    explicit LevelMeterPanel(Clock clock = {});

    void setScale(MeterScale scale) { m_scale = scale; }
    MeterScale scale() const { return m_scale; }

    // Paints the panel, the meters with their held segments and the clip lamps.
    void paint(QPainter& painter, const Skin& skin, const MeterLevels& levels);
    // A click at point in the client area: a lit clip lamp under it goes out. True when one did.
    bool click(QPoint point, const MeterLevels& levels);
    // The held segments (1..26 from the bottom, 0 for none) as last painted.
    int heldSegments(int channel) const { return m_holds[channel].held(); }
    bool clipLampLit(int channel, const MeterLevels& levels) const;

private:
    Clock m_clock;
    MeterScale m_scale = MeterScale::Linear;
    std::array<PeakHold, 2> m_holds;
    std::array<ClipLamp, 2> m_lamps;
};

}
