// AVX2 kernels: sixteen 16 x 16-bit products per instruction, summed in 32-bit lanes that are
// widened to 64 bits before they are combined. The common window lengths (the number of groups of
// sixteen samples, up to eight) each get an unrolled kernel; the per-frame overhead of a general
// loop and its tails is otherwise as large as the products themselves. Every tap k below the last whole group of eight
// lands in lane (k mod 8) / 2 of the folded 128-bit sum; the set-up checks that no such lane can
// overflow (PolyphaseConverter::largestLaneSum). Compiled with -mavx2; only reached after the
// processor was found to have it.
#include "kernels.h"

#if defined(__x86_64__) && defined(__AVX2__)

#include <immintrin.h>

#include "kernel_loop.h"

namespace sorvak::polyphase {

namespace {

// Lanes 0 + 2 and 1 + 3, widened first: each lane fits 32 bits, their sums need not.
__m128i pairedLaneSums(__m128i lanes)
{
    return _mm_add_epi64(_mm_cvtepi32_epi64(lanes), _mm_cvtepi32_epi64(_mm_srli_si128(lanes, 8)));
}

__m128i foldedLanes(__m256i lanes)
{
    return _mm_add_epi32(_mm256_castsi256_si128(lanes), _mm256_extracti128_si256(lanes, 1));
}

// FixedChunks > 0: the window is exactly that many groups of sixteen samples (the set-up checks),
// so the loop is unrolled and there is no tail; 0: any length.
template <int FixedChunks>
class MonoDot {
public:
    explicit MonoDot(const PolyphaseConverter& converter)
        : m_rows(converter)
    {
    }

    void operator()(int phase, const int16_t* window, int64_t* sums) const
    {
        const int16_t* row = m_rows.row(phase);
        const int taps = m_rows.taps();
        const int chunks = FixedChunks > 0 ? FixedChunks : taps / 16;
        __m256i wide = _mm256_setzero_si256();
        for (int chunk = 0; chunk < chunks; ++chunk) {
            __m256i samples = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + 16 * chunk));
            __m256i coefficients = _mm256_load_si256(reinterpret_cast<const __m256i*>(row + 16 * chunk));
            wide = _mm256_add_epi32(wide, _mm256_madd_epi16(samples, coefficients));
        }
        __m128i lanes = foldedLanes(wide);
        int k = 16 * chunks;
        if (FixedChunks == 0 && k + 8 <= taps) {
            __m128i samples = _mm_loadu_si128(reinterpret_cast<const __m128i*>(window + k));
            __m128i coefficients = _mm_load_si128(reinterpret_cast<const __m128i*>(row + k));
            lanes = _mm_add_epi32(lanes, _mm_madd_epi16(samples, coefficients));
            k += 8;
        }
        __m128i pairs = pairedLaneSums(lanes);
        int64_t sum = _mm_cvtsi128_si64(_mm_add_epi64(pairs, _mm_unpackhi_epi64(pairs, pairs)));
        if (FixedChunks == 0)
            for (; k < taps; ++k)
                sum += int32_t{window[k]} * row[k];
        sums[0] = sum;
    }

private:
    WindowRows m_rows;
};

// Frames arrive as L0 R0 L1 R1 ...; regrouping each four frames as L0 L1 R0 R1 L2 L3 R2 R3 lets
// one multiply-add against the doubled taps c0 c1 c0 c1 c2 c3 c2 c3 give left sums in the even
// lanes and right sums in the odd ones. FixedChunks as for MonoDot.
template <int FixedChunks>
class StereoDot {
public:
    explicit StereoDot(const PolyphaseConverter& converter)
        : m_pairedRows(converter.pairedRows)
        , m_pairedRowStride(converter.pairedRowStride)
        , m_rows(converter)
        , m_samples(4 * converter.count)
    {
    }

    void operator()(int phase, const int16_t* window, int64_t* sums) const
    {
        const __m128i regroup = _mm_setr_epi8(0, 1, 4, 5, 2, 3, 6, 7, 8, 9, 12, 13, 10, 11, 14, 15);
        const __m256i regroupWide = _mm256_broadcastsi128_si256(regroup);
        const int16_t* paired = m_pairedRows + static_cast<ptrdiff_t>(phase) * m_pairedRowStride;
        const int chunks = FixedChunks > 0 ? FixedChunks : m_samples / 16;
        __m256i wide = _mm256_setzero_si256();
        for (int chunk = 0; chunk < chunks; ++chunk) {
            __m256i samples = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + 16 * chunk));
            __m256i taps = _mm256_load_si256(reinterpret_cast<const __m256i*>(paired + 16 * chunk));
            wide = _mm256_add_epi32(wide, _mm256_madd_epi16(_mm256_shuffle_epi8(samples, regroupWide), taps));
        }
        __m128i lanes = foldedLanes(wide);
        int k = 16 * chunks;
        if (FixedChunks == 0 && k + 8 <= m_samples) {
            __m128i samples = _mm_loadu_si128(reinterpret_cast<const __m128i*>(window + k));
            __m128i taps = _mm_load_si128(reinterpret_cast<const __m128i*>(paired + k));
            lanes = _mm_add_epi32(lanes, _mm_madd_epi16(_mm_shuffle_epi8(samples, regroup), taps));
            k += 8;
        }
        // Lanes hold L R L R.
        __m128i pairs = pairedLaneSums(lanes);
        int64_t left = _mm_cvtsi128_si64(pairs);
        int64_t right = _mm_cvtsi128_si64(_mm_unpackhi_epi64(pairs, pairs));
        const int16_t* row = m_rows.row(phase);
        if (FixedChunks == 0)
            for (; k < m_samples; k += 2) {
                left += int32_t{window[k]} * row[k / 2];
                right += int32_t{window[k + 1]} * row[k / 2];
            }
        sums[0] = left;
        sums[1] = right;
    }

private:
    const int16_t* m_pairedRows;
    int m_pairedRowStride;
    WindowRows m_rows;
    int m_samples;
};

// Windows of up to this many groups of sixteen samples get an unrolled kernel of their own.
constexpr int kMostFixedChunks = 8;

template <template <int> class Dot, int Channels, int Chunks = 1>
Kernel kernelForChunks(int chunks, bool fineMode)
{
    if constexpr (Chunks > kMostFixedChunks) {
        return fineMode ? convertFrames<Channels, true, Dot<0>> : convertFrames<Channels, false, Dot<0>>;
    } else {
        if (chunks == Chunks)
            return fineMode ? convertFrames<Channels, true, Dot<Chunks>> : convertFrames<Channels, false, Dot<Chunks>>;
        return kernelForChunks<Dot, Channels, Chunks + 1>(chunks, fineMode);
    }
}

}

Kernel vectorKernel(int channels, int count, bool fineMode)
{
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2"))
        return nullptr;
    const int samples = 2 * count * channels;
    // Zero chunks selects the kernel for any length.
    const int chunks = samples % 16 == 0 ? samples / 16 : 0;
    if (channels == 1)
        return kernelForChunks<MonoDot, 1>(chunks, fineMode);
    return kernelForChunks<StereoDot, 2>(chunks, fineMode);
}

}

#else

namespace sorvak::polyphase {

Kernel vectorKernel(int, int, bool)
{
    return nullptr;
}

}

#endif
