#include "FeatureKernels.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

/* The portable loop: |a - b| of two int16 fits in 17 bits, so it is formed in int. */
uint64_t AbsDiffSumPlain(const int16_t* a, const int16_t* b, int n)
{
    uint64_t sum = 0;
    for (int k = 0; k < n; k++) {
        const int d = static_cast<int>(a[k]) - static_cast<int>(b[k]);
        sum += static_cast<uint64_t>(d < 0 ? -d : d);
    }
    return sum;
}

} // namespace

#if defined(__SSE2__)

uint64_t AbsDiffSum(const int16_t* a, const int16_t* b, int n)
{
    // max - min of two int16 is an unsigned 16-bit value (at most 65534). Widened into eight 32-bit lanes,
    // each lane takes one value per 8 inputs and stays below 2^32 for 65537 of them; blocks of 16384
    // inputs (2048 per lane) are folded into the 64-bit total, far inside that bound.
    const int blockValues = 16384;
    const __m128i zero = _mm_setzero_si128();
    uint64_t total = 0;
    int k = 0;
    while (n - k >= 8) {
        const int blockEnd = k + std::min((n - k) / 8 * 8, blockValues);
        __m128i accLow = zero;
        __m128i accHigh = zero;
        for (; k < blockEnd; k += 8) {
            const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + k));
            const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + k));
            const __m128i d = _mm_sub_epi16(_mm_max_epi16(va, vb), _mm_min_epi16(va, vb));
            accLow = _mm_add_epi32(accLow, _mm_unpacklo_epi16(d, zero));
            accHigh = _mm_add_epi32(accHigh, _mm_unpackhi_epi16(d, zero));
        }
        uint32_t lanes[8];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), accLow);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes + 4), accHigh);
        for (uint32_t lane : lanes)
            total += lane;
    }
    return total + AbsDiffSumPlain(a + k, b + k, n - k);
}

#else

uint64_t AbsDiffSum(const int16_t* a, const int16_t* b, int n)
{
    return AbsDiffSumPlain(a, b, n);
}

#endif

void BuildShiftPlanes(const int16_t* extraction, int cols, int rows, int16_t* planes)
{
    const int stride = cols + 1;
    const int n = cols * rows;
    for (int k = 0; k < 4; k++) {
        const int ox = k & 1;
        const int oy = (k >> 1) & 1;
        int16_t* plane = planes + k * n;
        for (int r = 0; r < rows; r++)
            std::memcpy(plane + r * cols, extraction + (r + oy) * stride + ox, sizeof(int16_t) * cols);
    }
}
