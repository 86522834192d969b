// Dialog units of the window templates, converted to pixels for the templates' font: a
// horizontal unit is 1.5 pixels and a vertical unit 1.625 pixels, rounded to the nearest pixel
// with halves away from zero, as the templates were laid out.
#pragma once

#include "sorvak_widgets.h"

#include <QRect>
#include <QWidget>

namespace wavelark {

constexpr int dialogX(int units)
{
    return (units * 3 + 1) / 2;
}

constexpr int dialogY(int units)
{
    return (units * 13 + 4) / 8;
}

constexpr QRect dialogRect(int x, int y, int width, int height)
{
    return QRect(dialogX(x), dialogY(y), dialogX(width), dialogY(height));
}

// Gives widget its control identifier (none for 0) and its place in pixels; returns it.
template <typename Widget>
Widget* placeControl(Widget* widget, int id, QRect geometry)
{
    if (id != 0)
        sorvak::setControlId(widget, id);
    widget->setGeometry(geometry);
    return widget;
}

static_assert(dialogX(370) == 555 && dialogY(71) == 115, "the waveform view is 555 x 115 pixels");

}
