#include "widgets/level_meter_panel.h"

#include "widgets/level_meters.h"

#include <QPainter>

#include <chrono>

namespace wavelark {

namespace {

double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}

LevelMeterPanel::LevelMeterPanel(Clock clock)
    : m_clock(clock ? std::move(clock) : Clock(steadySeconds))
{
}

bool LevelMeterPanel::clipLampLit(int channel, const MeterLevels& levels) const
{
    return m_lamps[channel].lit(channel == 0 ? levels.clippedLeft : levels.clippedRight);
}

void LevelMeterPanel::paint(QPainter& painter, const Skin& skin, const MeterLevels& levels)
{
    drawMeterPanel(painter, m_scale);
    const double now = m_clock();
    const std::array<std::pair<int, double>, 2> meters = {{{kLeftMeterX, levels.left}, {kRightMeterX, levels.right}}};
    for (int channel = 0; channel < 2; ++channel) {
        const auto [x, peak] = meters[channel];
        const int lit = litSegments(peak, m_scale);
        const int held = m_holds[channel].update(lit, now);
        // The linear scale is drawn as the skin always drew it; the held segment goes over it.
        if (m_scale == MeterScale::Linear)
            drawLevelMeter(painter, skin, x, peak);
        else
            drawScaledMeter(painter, skin, x, lit);
        drawHeldSegment(painter, skin, x, lit, held);
        drawClipLamp(painter, x, clipLampLit(channel, levels));
    }
}

bool LevelMeterPanel::click(QPoint point, const MeterLevels& levels)
{
    for (int channel = 0; channel < 2; ++channel) {
        if (!clipLampRect(channel == 0 ? kLeftMeterX : kRightMeterX).contains(point) || !clipLampLit(channel, levels))
            continue;
        m_lamps[channel].click(channel == 0 ? levels.clippedLeft : levels.clippedRight);
        return true;
    }
    return false;
}

}
