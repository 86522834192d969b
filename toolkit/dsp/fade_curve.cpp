// The quarter-cosine fade curve used for fade-ins and fade-outs.
#include "sorvak.h"

#include <cmath>

namespace {

// Degrees to radians, the double nearest to pi / 180.
constexpr double kRadiansPerDegree = 0.017453292519943295;

}

double lin2log(double x, double fullScale, int flags)
{
    double position = x / fullScale;
    if (flags & 2)
        position = 1.0 - position;
    double curve = std::cos((position * 90.0 + 180.0) * kRadiansPerDegree);
    if (flags & 1)
        return fullScale * (curve + 1.0);
    return fullScale * std::fabs(curve);
}
