// The kernels available on this machine, by channel count and mode.
#ifndef SORVAK_POLYPHASE_KERNELS_H
#define SORVAK_POLYPHASE_KERNELS_H

#include "polyphase_converter.h"

namespace sorvak::polyphase {

// One tap at a time with 64-bit sums: exact for any filter.
Kernel portableKernel(int channels, bool fineMode);

// AVX2 with 32-bit lane sums, or null when the processor lacks AVX2. Exact only when no lane can
// overflow (PolyphaseConverter::largestLaneSum); the caller checks that.
Kernel vectorKernel(int channels, int count, bool fineMode);

}

#endif
