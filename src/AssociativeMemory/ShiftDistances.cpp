#include "ShiftDistances.h"

#include <algorithm>

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace {

/* The plain sums of values [from, to) added to d. */
void AddPlain(const int16_t* features, const int16_t* planes, int n, int from, int to, uint64_t d[4])
{
    for (int k = 0; k < 4; k++)
        for (int i = from; i < to; i++) {
            const int diff = static_cast<int>(features[i]) - static_cast<int>(planes[k * n + i]);
            d[k] += static_cast<uint64_t>(diff < 0 ? -diff : diff);
        }
}

bool Reached(const uint64_t d[4], uint64_t limit)
{
    return std::min(std::min(d[0], d[1]), std::min(d[2], d[3])) >= limit;
}

#if defined(__SSE2__) && defined(__x86_64__)

/* d[k] += the sum of the four 32-bit lanes of acc[k]. */
inline void AddLaneSums(const __m128i acc[4], uint64_t d[4])
{
    // Transposed add: lane k of the result is the sum of the four lanes of acc[k].
    const __m128i s01 = _mm_add_epi32(_mm_unpacklo_epi32(acc[0], acc[1]), _mm_unpackhi_epi32(acc[0], acc[1]));
    const __m128i s23 = _mm_add_epi32(_mm_unpacklo_epi32(acc[2], acc[3]), _mm_unpackhi_epi32(acc[2], acc[3]));
    alignas(16) uint32_t sums[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(sums),
                    _mm_add_epi32(_mm_unpacklo_epi64(s01, s23), _mm_unpackhi_epi64(s01, s23)));
    for (int k = 0; k < 4; k++)
        d[k] += sums[k];
}

/* acc[k] += the differences of 8 values of the features and of plane k, as 32-bit lanes, where keep is set. */
inline void Accumulate(const int16_t* features, const int16_t* planes, int n, __m128i keep, __m128i acc[4])
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(features));
    for (int k = 0; k < 4; k++) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(planes + k * n));
        const __m128i diff = _mm_and_si128(_mm_sub_epi16(_mm_max_epi16(f, p), _mm_min_epi16(f, p)), keep);
        acc[k] = _mm_add_epi32(acc[k], _mm_add_epi32(_mm_unpacklo_epi16(diff, zero), _mm_unpackhi_epi16(diff, zero)));
    }
}

/* Vectors of 8; the last values, when fewer than 8 remain, in a vector of the last 8 with the ones
   already counted masked off. */
bool AddVectors8(const int16_t* features, const int16_t* planes, int n, uint64_t limit, uint64_t d[4])
{
    if (n < 8) {
        AddPlain(features, planes, n, 0, n, d);
        return true;
    }
    // The sums are folded into d and checked against the limit about every 32 values; a 32-bit lane takes
    // at most 10 differences below 2^16 by then, and the four lanes of one plane add up below 2^20.
    const int chunkValues = 32;
    const int whole = n / 8 * 8;
    const __m128i all = _mm_set1_epi16(-1);
    const __m128i tail = _mm_cmpgt_epi16(_mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7),
                                         _mm_set1_epi16(static_cast<short>(7 - (n - whole))));
    int i = 0;
    while (i < n) {
        const int chunkEnd = std::min(whole, i + chunkValues);
        __m128i acc[4] = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128()};
        for (; i < chunkEnd; i += 8)
            Accumulate(features + i, planes + i, n, all, acc);
        if (i == whole) {
            if (n > whole)
                Accumulate(features + n - 8, planes + n - 8, n, tail, acc);
            i = n;
        }
        AddLaneSums(acc, d);
        if (i < n && Reached(d, limit))
            return false;
    }
    return true;
}

#endif

} // namespace

bool ShiftDistances(const int16_t* features, const int16_t* planes, int n, uint64_t limit, uint64_t d[4])
{
    d[0] = d[1] = d[2] = d[3] = 0;
#if defined(__SSE2__) && defined(__x86_64__)
    return AddVectors8(features, planes, n, limit, d);
#else
    for (int i = 0; i < n; i += 32) {
        AddPlain(features, planes, n, i, std::min(n, i + 32), d);
        if (i + 32 < n && Reached(d, limit))
            return false;
    }
    return true;
#endif
}
