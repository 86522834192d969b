// Colours as the toolkit's callers give them: 0x00BBGGRR, red in the lowest byte.
#pragma once

#include <QColor>

#include <cstdint>

namespace sorvak {

inline QColor colourFromReference(uint32_t colour)
{
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

}
