#include "ShiftDistances.h"

#include <algorithm>

#if defined(__SSE2__) && defined(__x86_64__)
#include <immintrin.h>
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

/* d[k] += the sum of the four 32-bit lanes of acc[k] + bias, where that is the true sum of a chunk. */
inline void AddLaneSums(const __m128i acc[4], int64_t bias, uint64_t d[4])
{
    // Transposed add: lane k of the result is the sum of the four lanes of acc[k].
    const __m128i s01 = _mm_add_epi32(_mm_unpacklo_epi32(acc[0], acc[1]), _mm_unpackhi_epi32(acc[0], acc[1]));
    const __m128i s23 = _mm_add_epi32(_mm_unpacklo_epi32(acc[2], acc[3]), _mm_unpackhi_epi32(acc[2], acc[3]));
    alignas(16) int32_t sums[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(sums),
                    _mm_add_epi32(_mm_unpacklo_epi64(s01, s23), _mm_unpackhi_epi64(s01, s23)));
    for (int k = 0; k < 4; k++)
        d[k] += static_cast<uint64_t>(sums[k] + bias);
}

/* Vectors of 8 from value i on, then the remaining values singly; d holds the sums of [0, i). */
bool AddVectors8(const int16_t* features, const int16_t* planes, int n, int i, uint64_t limit, uint64_t d[4])
{
    // The sums are folded into d and checked against the limit every 32 values; a 32-bit lane takes at
    // most 8 differences below 2^16 by then, and the four lanes of one plane add up below 2^19.
    const int chunkValues = 32;
    const __m128i zero = _mm_setzero_si128();
    while (n - i >= 8) {
        const int chunkEnd = i + std::min((n - i) / 8 * 8, chunkValues);
        __m128i acc[4] = {zero, zero, zero, zero};
        for (; i < chunkEnd; i += 8) {
            const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(features + i));
            for (int k = 0; k < 4; k++) {
                const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(planes + k * n + i));
                const __m128i diff = _mm_sub_epi16(_mm_max_epi16(f, p), _mm_min_epi16(f, p));
                acc[k] = _mm_add_epi32(acc[k],
                                       _mm_add_epi32(_mm_unpacklo_epi16(diff, zero), _mm_unpackhi_epi16(diff, zero)));
            }
        }
        AddLaneSums(acc, 0, d);
        if (Reached(d, limit))
            return false;
    }
    AddPlain(features, planes, n, i, n, d);
    return true;
}

/* Vectors of 16 where the processor has AVX2, then AddVectors8 for the rest. */
__attribute__((target("avx2"))) bool AddVectors16(const int16_t* features, const int16_t* planes, int n,
                                                   uint64_t limit, uint64_t d[4])
{
    // A difference below 2^16 less 2^15 fits int16, so pairs of them add up in one multiply-add; the bias
    // of -2^15 per value is given back when a chunk is folded into d. A 32-bit lane takes 4 such pairs per
    // chunk of 64 values, far from overflow.
    const int chunkValues = 64;
    const __m256i bias = _mm256_set1_epi16(static_cast<short>(0x8000));
    const __m256i ones = _mm256_set1_epi16(1);
    int i = 0;
    while (n - i >= 16) {
        const int chunkEnd = i + std::min((n - i) / 16 * 16, chunkValues);
        const int64_t values = chunkEnd - i;
        __m256i acc[4] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(),
                          _mm256_setzero_si256()};
        for (; i < chunkEnd; i += 16) {
            const __m256i f = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(features + i));
            for (int k = 0; k < 4; k++) {
                const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(planes + k * n + i));
                const __m256i diff = _mm256_sub_epi16(_mm256_max_epi16(f, p), _mm256_min_epi16(f, p));
                acc[k] = _mm256_add_epi32(acc[k], _mm256_madd_epi16(_mm256_xor_si256(diff, bias), ones));
            }
        }
        __m128i halves[4];
        for (int k = 0; k < 4; k++)
            halves[k] = _mm_add_epi32(_mm256_castsi256_si128(acc[k]), _mm256_extracti128_si256(acc[k], 1));
        AddLaneSums(halves, values * 32768, d);
        if (Reached(d, limit))
            return false;
    }
    return AddVectors8(features, planes, n, i, limit, d);
}

#endif

} // namespace

bool ShiftDistances(const int16_t* features, const int16_t* planes, int n, uint64_t limit, uint64_t d[4])
{
    d[0] = d[1] = d[2] = d[3] = 0;
#if defined(__SSE2__) && defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2)
        return AddVectors16(features, planes, n, limit, d);
    return AddVectors8(features, planes, n, 0, limit, d);
#else
    for (int i = 0; i < n; i += 32) {
        AddPlain(features, planes, n, i, std::min(n, i + 32), d);
        if (i + 32 < n && Reached(d, limit))
            return false;
    }
    return true;
#endif
}
