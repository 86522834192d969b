// The polyphase converter's state, for the engine's own files and its tests.
//
// A converter turns a stream of interleaved 16-bit frames at one rate into another. The output
// frame at input time x - 1 + (p + 0.5) / L (x a frame of the stream, p the current phase row)
// is the sum over j < count of in[x + j] * row(L - 1 - p)[j] + in[x - 1 - j] * row(p)[j], rounded
// and saturated to 16 bits. The state is created by InitResampler, fed block by block by Resample
// on one thread at a time, and released by FreeResampler.
#ifndef SORVAK_POLYPHASE_CONVERTER_H
#define SORVAK_POLYPHASE_CONVERTER_H

#include <cstddef>
#include <cstdint>

#include "sorvak.h"

namespace sorvak::polyphase {

// Converts the frames at stream positions [position, end) of `data` (sample indices, multiples
// of the channel count, measured from `data`) whose windows are complete, writes the output
// frames and returns the number of samples written. Updates the phase, the phase fraction and the
// overshoot (position reached minus end, negative when the fine-mode adjacent phase still needs
// a frame past the end).
using Kernel = int (*)(PolyphaseConverter& converter, const int16_t* data, ptrdiff_t position, ptrdiff_t end,
                       int16_t* output);

enum class KernelFlavour {
    Portable, // one tap at a time, 64-bit sums: any filter
    Vector,   // AVX2 when the processor has it and no lane sum can overflow; else Portable
};

}

struct PolyphaseConverter {
    int phases;             // L
    int decimation;         // M
    int channels;           // 1 or 2
    int count;              // taps per phase and side
    int stride;             // count rounded up to even: the filter's row length
    int32_t gain;           // Q31 gain the filter was built with
    int historyLength;      // H, in samples
    int startOffset;        // H - channels * (count - 1)
    ptrdiff_t overshoot;    // input position past the end of the last run, in samples
    uint32_t phaseFraction; // fine mode: fraction of the way to the adjacent phase
    uint32_t phaseFractionStep; // 0 in normal mode
    bool fineMode;
    int phase;              // current left row p; the right row is L - 1 - p
    int phaseAdvance;       // M mod L: rows advanced per output frame
    int frameAdvance;       // M div L: frames advanced per output frame, one more on a wrap
    int16_t* history;       // 2 * H samples: the kept history, then room for a block's head
    int16_t* filter;        // L rows of `stride` Q15 coefficients, from MakeFilter
    // Per phase p, the 2 * count coefficients facing the window in[x - count .. x + count - 1]
    // (row p reversed, then row L - 1 - p), rows `windowRowStride` apart.
    int16_t* windowRows;
    int windowRowStride;
    // Stereo: the same rows with each pair of taps doubled (c0 c1 c0 c1 c2 c3 c2 c3 ...), matching
    // a window whose frames are regrouped as L0 L1 R0 R1 L2 L3 R2 R3; null for mono.
    int16_t* pairedRows;
    int pairedRowStride;
    // Largest |sum| one 32-bit lane of the vector kernels can reach: of the coefficients k below
    // the last whole group of eight (in the paired rows for stereo), those in lane (k mod 8) / 2,
    // times the largest sample magnitude.
    int64_t largestLaneSum;
    sorvak::polyphase::Kernel kernel;
};

namespace sorvak::polyphase {

// Chooses the converter's kernel. InitResampler picks Vector; tests compare the two.
void chooseKernel(PolyphaseConverter& converter, KernelFlavour flavour);

}

#endif
