#include "ShiftDistances.h"

#include <algorithm>

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace {

/* The plain sums of values [from, n) added to d. */
void AddPlain(const int16_t* features, const int16_t* planes, int from, int n, uint64_t d[4])
{
    for (int k = 0; k < 4; k++)
        for (int i = from; i < n; i++) {
            const int diff = static_cast<int>(features[i]) - static_cast<int>(planes[k * n + i]);
            d[k] += static_cast<uint64_t>(diff < 0 ? -diff : diff);
        }
}

} // namespace

#if defined(__SSE2__) && defined(__x86_64__)

void ShiftDistances(const int16_t* features, const int16_t* planes, int n, uint64_t d[4])
{
    // As in AbsDiffSum: each 32-bit lane takes two differences below 2^16 per 8 values, and blocks of
    // 16384 values keep a lane below 2^28, so the four lanes of one plane add up below 2^30.
    const int blockValues = 16384;
    const __m128i zero = _mm_setzero_si128();
    d[0] = d[1] = d[2] = d[3] = 0;
    int i = 0;
    while (n - i >= 8) {
        const int blockEnd = i + std::min((n - i) / 8 * 8, blockValues);
        __m128i acc[4] = {zero, zero, zero, zero};
        for (; i < blockEnd; i += 8) {
            const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(features + i));
            for (int k = 0; k < 4; k++) {
                const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(planes + k * n + i));
                const __m128i diff = _mm_sub_epi16(_mm_max_epi16(f, p), _mm_min_epi16(f, p));
                acc[k] = _mm_add_epi32(acc[k],
                                       _mm_add_epi32(_mm_unpacklo_epi16(diff, zero), _mm_unpackhi_epi16(diff, zero)));
            }
        }
        // Transposed add: lane k of the result is the sum of the four lanes of acc[k].
        const __m128i s01 = _mm_add_epi32(_mm_unpacklo_epi32(acc[0], acc[1]), _mm_unpackhi_epi32(acc[0], acc[1]));
        const __m128i s23 = _mm_add_epi32(_mm_unpacklo_epi32(acc[2], acc[3]), _mm_unpackhi_epi32(acc[2], acc[3]));
        alignas(16) uint32_t sums[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(sums),
                        _mm_add_epi32(_mm_unpacklo_epi64(s01, s23), _mm_unpackhi_epi64(s01, s23)));
        for (int k = 0; k < 4; k++)
            d[k] += sums[k];
    }
    AddPlain(features, planes, i, n, d);
}

#else

void ShiftDistances(const int16_t* features, const int16_t* planes, int n, uint64_t d[4])
{
    d[0] = d[1] = d[2] = d[3] = 0;
    AddPlain(features, planes, 0, n, d);
}

#endif
