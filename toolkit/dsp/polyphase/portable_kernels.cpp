// Kernels for any processor and any filter.
#include "kernel_loop.h"
#include "kernels.h"

namespace sorvak::polyphase {

namespace {

template <int Channels>
class PortableDot {
public:
    explicit PortableDot(const PolyphaseConverter& converter)
        : m_rows(converter)
    {
    }

    void operator()(int phase, const int16_t* window, int64_t* sums) const
    {
        const int16_t* row = m_rows.row(phase);
        for (int channel = 0; channel < Channels; ++channel)
            sums[channel] = 0;
        for (int k = 0; k < m_rows.taps(); ++k)
            for (int channel = 0; channel < Channels; ++channel)
                sums[channel] += int64_t{window[k * Channels + channel]} * row[k];
    }

private:
    WindowRows m_rows;
};

}

Kernel portableKernel(int channels, bool fineMode)
{
    if (channels == 1)
        return fineMode ? convertFrames<1, true, PortableDot<1>> : convertFrames<1, false, PortableDot<1>>;
    return fineMode ? convertFrames<2, true, PortableDot<2>> : convertFrames<2, false, PortableDot<2>>;
}

}
