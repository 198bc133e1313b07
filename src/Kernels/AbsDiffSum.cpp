#include "AbsDiffSum.h"

#include <algorithm>

#if LANESCOPE_X86_KERNELS
#include <emmintrin.h>
#endif

uint64_t AbsDiffSumPlain(const int16_t* a, const int16_t* b, int n)
{
    // |a - b| of two int16 fits in 17 bits, so it is formed in int.
    uint64_t sum = 0;
    for (int k = 0; k < n; k++) {
        const int d = static_cast<int>(a[k]) - static_cast<int>(b[k]);
        sum += static_cast<uint64_t>(d < 0 ? -d : d);
    }
    return sum;
}

#if LANESCOPE_X86_KERNELS

namespace {

/* Vectors of 8. */
uint64_t AbsDiffSumSse2(const int16_t* a, const int16_t* b, int n)
{
    // max - min of two int16 is an unsigned 16-bit value (at most 65534). Widened to 32 bits, each of the
    // four lanes takes two values per 8 inputs; blocks of 16384 inputs (4096 per lane, below 2^28) are
    // folded into the 64-bit total long before a lane could reach 2^32.
    const int blockValues = 16384;
    const __m128i zero = _mm_setzero_si128();
    uint64_t total = 0;
    int k = 0;
    while (n - k >= 8) {
        const int blockEnd = k + std::min((n - k) / 8 * 8, blockValues);
        __m128i acc = zero;
        for (; k < blockEnd; k += 8) {
            const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + k));
            const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + k));
            const __m128i d = _mm_sub_epi16(_mm_max_epi16(va, vb), _mm_min_epi16(va, vb));
            acc = _mm_add_epi32(acc, _mm_add_epi32(_mm_unpacklo_epi16(d, zero), _mm_unpackhi_epi16(d, zero)));
        }
        const __m128i pairs = _mm_add_epi64(_mm_unpacklo_epi32(acc, zero), _mm_unpackhi_epi32(acc, zero));
        const __m128i sum = _mm_add_epi64(pairs, _mm_unpackhi_epi64(pairs, pairs));
        total += static_cast<uint64_t>(_mm_cvtsi128_si64(sum));
    }
    return total + AbsDiffSumPlain(a + k, b + k, n - k);
}

} // namespace

#endif

AbsDiffSumForm* AbsDiffSumAt([[maybe_unused]] KernelLevel level)
{
#if LANESCOPE_X86_KERNELS
    if (level >= KernelLevel::Sse2)
        return AbsDiffSumSse2;
#endif
    return AbsDiffSumPlain;
}

uint64_t AbsDiffSum(const int16_t* a, const int16_t* b, int n)
{
    return ActiveForm<AbsDiffSumAt>::Call(a, b, n);
}
