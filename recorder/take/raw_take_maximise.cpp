#include "take/raw_take_maximise.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wavelark {

void maximiseSamples(int16_t* samples, std::size_t count, double gain)
{
    std::size_t index = 0;
#if defined(__SSE2__)
    // Eight samples at a time with the same double arithmetic: an exact int-to-double widening,
    // one multiply, the clamp as min/max (no NaN can occur) and the truncating conversion. The
    // clamped values fit 16 bits, so the final pack never saturates.
    const __m128d factor = _mm_set1_pd(gain);
    const __m128d largest = _mm_set1_pd(kLargestMaximisedSample);
    const __m128d smallest = _mm_set1_pd(-kLargestMaximisedSample);
    auto scalePair = [&](__m128i pair) {
        __m128d value = _mm_mul_pd(_mm_cvtepi32_pd(pair), factor);
        value = _mm_max_pd(_mm_min_pd(value, largest), smallest);
        return _mm_cvttpd_epi32(value);
    };
    for (; index + 8 <= count; index += 8) {
        const __m128i packed = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + index));
        // Sign-extend the eight samples to two vectors of four 32-bit values.
        const __m128i low = _mm_srai_epi32(_mm_unpacklo_epi16(packed, packed), 16);
        const __m128i high = _mm_srai_epi32(_mm_unpackhi_epi16(packed, packed), 16);
        const __m128i low01 = scalePair(low);
        const __m128i low23 = scalePair(_mm_srli_si128(low, 8));
        const __m128i high01 = scalePair(high);
        const __m128i high23 = scalePair(_mm_srli_si128(high, 8));
        const __m128i lowAll = _mm_unpacklo_epi64(low01, low23);
        const __m128i highAll = _mm_unpacklo_epi64(high01, high23);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + index), _mm_packs_epi32(lowAll, highAll));
    }
#endif
    for (; index < count; ++index)
        samples[index] = maximisedSample(samples[index], gain);
}

MaximiseResult maximiseRawTake(const std::string& path, const BlockProgress& scanProgress,
                               const BlockProgress& rewriteProgress, std::size_t blockSize)
{
    MaximiseResult result;
    PcmRegion region;
    if (!region.openForRewrite(path, 0, 0, &result.error))
        return result;
    result.opened = true;
    const std::optional<int16_t> peak = scanPeak(region, scanProgress, blockSize, &result.error);
    if (!peak) {
        // A gain from part of the take could clip the rest: the take stays as it is.
        result.failed = true;
        return result;
    }
    result.peak = *peak;
    if (result.peak <= 0)
        return result;
    const double gain = 32767.0 / result.peak;
    result.failed = !rewriteBlocks(
        region, [gain](int16_t* samples, std::size_t count) { maximiseSamples(samples, count, gain); },
        rewriteProgress, blockSize, &result.error);
    result.rewritten = !result.failed;
    return result;
}

}
