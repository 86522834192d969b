// The two level meters of the main window: columns 22 pixels wide from y 27 to 364 in 26
// segments of 13 pixels, the left one at x 606, the right one at x 635. The unlit part is the
// pattern of bitmap 108 and the lit part that of 107, both with their origin at the meter's top.
// Above each meter a clip lamp; on either scale a peak-hold segment (widgets/meter_scale.h).
#pragma once

#include "core/recorder_choices.h"

#include <QRect>

class QPainter;

namespace wavelark {

struct Skin;

inline constexpr int kMeterTop = 27;
inline constexpr int kMeterBottom = 364;
inline constexpr int kMeterWidth = 22;
inline constexpr int kLeftMeterX = 606;
inline constexpr int kRightMeterX = 635;
inline constexpr int kMeterSegments = 26;
inline constexpr int kMeterSegmentHeight = 13;
// The area invalidated on every timer tick, without erasing.
inline constexpr QRect kMeterArea(597, 0, 660 - 597, 406);

// Draws one meter for the peak value (0.0..1.0) with its left edge at x, on the skin's linear scale.
void drawLevelMeter(QPainter& painter, const Skin& skin, int x, double peak);

// Draws one meter with litSegments lit from the bottom and the rest unlit (the dBFS scale).
void drawScaledMeter(QPainter& painter, const Skin& skin, int x, int litSegments);
// Lights the held segment (1..26 from the bottom) when it is above the lit ones.
void drawHeldSegment(QPainter& painter, const Skin& skin, int x, int litSegments, int heldSegment);

// The clip lamp over the meter whose left edge is at x, and its drawing, lit or not.
QRect clipLampRect(int meterX);
void drawClipLamp(QPainter& painter, int meterX, bool lit);

// Draws the recessed panel behind both meters, with a scale mark at every segment; on the dBFS
// scale the marks at -18, -12, -6 and -3 dBFS run across, with their numbers beside.
void drawMeterPanel(QPainter& painter, MeterScale scale = MeterScale::Linear);

}
