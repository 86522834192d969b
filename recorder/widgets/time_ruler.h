// The time ruler of the zoomed waveform view and the time texts of the view: a strip across the
// top of the view with a tick at every step of the take's time and an m:ss label (with tenths,
// hundredths or thousandths when the step is under a second) at the labelled ones; the exact
// times of the selection and the tracks. Pure functions but drawTimeRuler; window thread for that.
#pragma once

#include "widgets/zoom_window.h"

#include <QImage>
#include <QString>

#include <cstdint>

namespace wavelark {

// The ruler strip's height in pixels.
inline constexpr int kRulerHeight = 12;

// A frame count as h:mm:ss.mmm from an hour on, m:ss.mmm below, milliseconds rounded down.
QString exactTimeText(uint64_t frames);
// A duration as m:ss (whole seconds rounded down; minutes past 59 go on counting).
QString minutesText(double seconds);

// The ruler's tick step in seconds for a zoom of secondsPerPixel: the smallest of 1, 2, 5 ms ...
// 10 minutes whose labels stand at least minimumPixels apart.
double rulerStepSeconds(double secondsPerPixel, double minimumPixels = 60.0);
// The label of a tick at seconds on a ruler of step: m:ss, with as many decimals as the step needs.
QString rulerLabel(double seconds, double step);

// Draws the ruler of window over the top kRulerHeight rows of image: a pale band that lets the
// waveform show through, a tick at every fifth of a step and a longer one with its label at each
// step.
void drawTimeRuler(QImage& image, const ZoomWindow& window);

}
