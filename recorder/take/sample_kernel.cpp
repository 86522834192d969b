#include "take/sample_kernel.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define WAVELARK_SAMPLES_X86 1
#endif

namespace wavelark {

namespace {

void scaleSamplesPlainly(int16_t* samples, std::size_t count, double fadeGain, double maximiseGain)
{
    for (std::size_t index = 0; index < count; ++index)
        samples[index] = scaledSample(samples[index], fadeGain, maximiseGain);
}

#if defined(WAVELARK_SAMPLES_X86)
// The vector paths keep the plain loop's arithmetic: an exact int-to-double widening, the two
// multiplies in the same order, the clamp as min/max (no NaN can occur) and the truncating
// conversion. The clamped values fit 16 bits, so the final pack never saturates.

// Four samples, widened to 32 bits.
__attribute__((target("avx2"))) inline __m128i scaleFour(__m128i four, __m256d fade, __m256d maximise)
{
    const __m256d largest = _mm256_set1_pd(kLargestMaximisedSample);
    const __m256d smallest = _mm256_set1_pd(-kLargestMaximisedSample);
    __m256d value = _mm256_mul_pd(_mm256_mul_pd(fade, _mm256_cvtepi32_pd(four)), maximise);
    value = _mm256_max_pd(_mm256_min_pd(value, largest), smallest);
    return _mm256_cvttpd_epi32(value);
}

// Sixteen samples at a time.
__attribute__((target("avx2"))) std::size_t scaleSamplesAvx2(int16_t* samples, std::size_t count, double fadeGain,
                                                             double maximiseGain)
{
    const __m256d fade = _mm256_set1_pd(fadeGain);
    const __m256d maximise = _mm256_set1_pd(maximiseGain);
    std::size_t index = 0;
    for (; index + 16 <= count; index += 16) {
        const __m256i packed = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(samples + index));
        const __m256i low = _mm256_cvtepi16_epi32(_mm256_castsi256_si128(packed));
        const __m256i high = _mm256_cvtepi16_epi32(_mm256_extracti128_si256(packed, 1));
        const __m128i lowPacked = _mm_packs_epi32(scaleFour(_mm256_castsi256_si128(low), fade, maximise),
                                                  scaleFour(_mm256_extracti128_si256(low, 1), fade, maximise));
        const __m128i highPacked = _mm_packs_epi32(scaleFour(_mm256_castsi256_si128(high), fade, maximise),
                                                   scaleFour(_mm256_extracti128_si256(high, 1), fade, maximise));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(samples + index), _mm256_set_m128i(highPacked, lowPacked));
    }
    return index;
}

// Eight samples at a time, two at a time in the double lanes.
__attribute__((target("sse2"))) std::size_t scaleSamplesSse2(int16_t* samples, std::size_t count, double fadeGain,
                                                             double maximiseGain)
{
    const __m128d fade = _mm_set1_pd(fadeGain);
    const __m128d maximise = _mm_set1_pd(maximiseGain);
    const __m128d largest = _mm_set1_pd(kLargestMaximisedSample);
    const __m128d smallest = _mm_set1_pd(-kLargestMaximisedSample);
    auto scalePair = [&](__m128i pair) {
        __m128d value = _mm_mul_pd(_mm_mul_pd(fade, _mm_cvtepi32_pd(pair)), maximise);
        value = _mm_max_pd(_mm_min_pd(value, largest), smallest);
        return _mm_cvttpd_epi32(value);
    };
    std::size_t index = 0;
    for (; index + 8 <= count; index += 8) {
        const __m128i packed = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + index));
        // Sign-extend the eight samples to two vectors of four 32-bit values.
        const __m128i low = _mm_srai_epi32(_mm_unpacklo_epi16(packed, packed), 16);
        const __m128i high = _mm_srai_epi32(_mm_unpackhi_epi16(packed, packed), 16);
        const __m128i lowAll = _mm_unpacklo_epi64(scalePair(low), scalePair(_mm_srli_si128(low, 8)));
        const __m128i highAll = _mm_unpacklo_epi64(scalePair(high), scalePair(_mm_srli_si128(high, 8)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + index), _mm_packs_epi32(lowAll, highAll));
    }
    return index;
}
#endif

}

bool sampleKernelAvailable(SampleKernel kernel)
{
#if defined(WAVELARK_SAMPLES_X86)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    static const bool sse2 = __builtin_cpu_supports("sse2");
    return kernel == SampleKernel::Plain || (kernel == SampleKernel::Sse2 && sse2) || (kernel == SampleKernel::Avx2 && avx2);
#else
    return kernel == SampleKernel::Plain;
#endif
}

void scaleSamplesWith(SampleKernel kernel, int16_t* samples, std::size_t count, double fadeGain, double maximiseGain)
{
    std::size_t done = 0;
#if defined(WAVELARK_SAMPLES_X86)
    if (kernel == SampleKernel::Avx2)
        done = scaleSamplesAvx2(samples, count, fadeGain, maximiseGain);
    else if (kernel == SampleKernel::Sse2)
        done = scaleSamplesSse2(samples, count, fadeGain, maximiseGain);
#endif
    // The vector paths leave the tail of fewer than a group's samples.
    scaleSamplesPlainly(samples + done, count - done, fadeGain, maximiseGain);
}

void scaleSamples(int16_t* samples, std::size_t count, double fadeGain, double maximiseGain)
{
    static const SampleKernel best = sampleKernelAvailable(SampleKernel::Avx2)   ? SampleKernel::Avx2
                                     : sampleKernelAvailable(SampleKernel::Sse2) ? SampleKernel::Sse2
                                                                                 : SampleKernel::Plain;
    scaleSamplesWith(best, samples, count, fadeGain, maximiseGain);
}

}
