// Time texts of the take.

#include "core/take_format.h"

#include "core/toolkit_binding.h"

namespace wavelark {

QString wholeSecondsText(double seconds)
{
    const int64_t duration = static_cast<int64_t>(seconds) * 10000000;
    return QString::fromUtf8(g_toolkit.nanosec2time(duration));
}

}
