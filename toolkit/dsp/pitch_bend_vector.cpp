#include "dsp/pitch_bend_vector.h"

// GCC 12 warns that its own AVX-512 intrinsics read an undefined vector they start from.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include <immintrin.h>

namespace sorvak::dsp {

namespace {

#define SORVAK_VECTOR_TARGET __attribute__((target("avx512f,avx512dq,avx512vl,avx512bw")))

__mmask8 firstLanes(size_t count)
{
    return count >= 8 ? __mmask8(0xff) : static_cast<__mmask8>((1u << count) - 1);
}

// Sign-extends the 16-bit field at `Shift` bits of each 64-bit lane and converts it to double.
template <int Shift>
SORVAK_VECTOR_TARGET inline __m512d sampleField(__m512i pairs)
{
    return _mm512_cvtepi64_pd(_mm512_srai_epi64(_mm512_slli_epi64(pairs, 48 - Shift), 48));
}

// trunc(previous + t * (current - previous)): the multiply and the add stay separate, as in the
// plain loop (no fused multiply-add).
SORVAK_VECTOR_TARGET inline __m256i interpolate(__m512d previous, __m512d current, __m512d t)
{
    __m512d value = _mm512_add_pd(previous, _mm512_mul_pd(t, _mm512_sub_pd(current, previous)));
    return _mm512_cvttpd_epi32(value);
}

}

bool vectorisedBendAvailable()
{
    static const bool available = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq")
                                  && __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw");
    return available;
}

SORVAK_VECTOR_TARGET bool planRunVectorised(const double* positions, size_t count, size_t emitted,
                                            VectorRunPlan& plan)
{
    if (count == 0 || count > kBendRunFrames)
        return false;
    const __m512d first = _mm512_set1_pd(static_cast<double>(emitted));
    const __m512d most = _mm512_set1_pd(static_cast<double>(kMostOutputsPerInput));
    // Where the frame before the run ended: all output frames so far.
    __m512d reachedBefore = first;
    for (size_t index = 0; index < count; index += 8) {
        __mmask8 lanes = firstLanes(count - index);
        __m512d position = _mm512_mask_loadu_pd(first, lanes, positions + index + 1);
        __m512d previous = _mm512_mask_loadu_pd(first, lanes, positions + index);
        // Falling positions or ones that are not numbers take the plain loop (the comparison
        // is false for them); the position before the run itself may lie anywhere.
        __mmask8 rising = _mm512_cmp_pd_mask(position, previous, _CMP_GE_OQ);
        if (index == 0)
            rising |= 1;
        __mmask8 isNumber = _mm512_cmp_pd_mask(position, position, _CMP_EQ_OQ);
        if ((rising & isNumber & lanes) != lanes)
            return false;
        __m512d reached = _mm512_max_pd(_mm512_roundscale_pd(position, _MM_FROUND_TO_POS_INF | _MM_FROUND_NO_EXC), first);
        // The frame before each lane's: the last lane of the previous group, then this group's.
        __m512d before = _mm512_castsi512_pd(
            _mm512_alignr_epi64(_mm512_castpd_si512(reached), _mm512_castpd_si512(reachedBefore), 7));
        if (_mm512_mask_cmp_pd_mask(lanes, _mm512_sub_pd(reached, before), most, _CMP_GT_OQ))
            return false;
        __m256i offsets = _mm512_cvttpd_epi32(_mm512_sub_pd(reached, first));
        _mm256_mask_storeu_epi32(plan.reachedAfter + index, lanes, offsets);
        reachedBefore = reached;
    }
    // Each input frame writes its number over the next eight places from where the frame before
    // it ended; the following frame overwrites the places that are not its own.
    int32_t start = 0;
    for (size_t index = 0; index < count; ++index) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(plan.inputOf + start),
                            _mm256_set1_epi32(static_cast<int32_t>(index)));
        start = plan.reachedAfter[index];
    }
    plan.outputCount = static_cast<size_t>(start);
    return true;
}

SORVAK_VECTOR_TARGET void emitRunVectorised(const VectorRunPlan& plan, const double* positions, const uint8_t* frames,
                                            size_t emitted, uint32_t* out)
{
    const __m512d lanes = _mm512_set_pd(7, 6, 5, 4, 3, 2, 1, 0);
    const __m256i lowHalf = _mm256_set1_epi32(0xffff);
    const auto* previousFrames = reinterpret_cast<const long long*>(frames - 4);
    size_t total = plan.outputCount;
    for (size_t offset = 0; offset < total; offset += 8) {
        __mmask8 mask = firstLanes(total - offset);
        __m256i input = _mm256_maskz_loadu_epi32(mask, plan.inputOf + offset);
        __m512d previousPosition = _mm512_mask_i32gather_pd(_mm512_setzero_pd(), mask, input, positions, 8);
        __m512d nextPosition = _mm512_mask_i32gather_pd(_mm512_set1_pd(1.0), mask, input, positions + 1, 8);
        // Frames k - 1 and k side by side: one 64-bit lane each.
        __m512i pairs = _mm512_mask_i32gather_epi64(_mm512_setzero_si512(), mask, input, previousFrames, 4);
        __m512d o = _mm512_add_pd(_mm512_set1_pd(static_cast<double>(emitted + offset)), lanes);
        __m512d t = _mm512_div_pd(_mm512_sub_pd(o, previousPosition), _mm512_sub_pd(nextPosition, previousPosition));
        __m256i left = interpolate(sampleField<0>(pairs), sampleField<32>(pairs), t);
        __m256i right = interpolate(sampleField<16>(pairs), sampleField<48>(pairs), t);
        __m256i packed = _mm256_or_si256(_mm256_and_si256(left, lowHalf), _mm256_slli_epi32(right, 16));
        _mm256_mask_storeu_epi32(out + emitted + offset, mask, packed);
    }
}

}
