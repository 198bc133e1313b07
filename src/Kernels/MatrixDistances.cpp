#include "MatrixDistances.h"

#include <cstdlib>

#if LANESCOPE_X86_KERNELS
#include <immintrin.h>
#endif

int LargestMatrixGridValues()
{
    static const int values = ActiveKernelLevel() >= KernelLevel::Avx2 ? 64 : 16;
    return values;
}

void ShapeFeatureMatrix(FeatureMatrix& matrix, int count, int cols, int rows)
{
    const int n = cols * rows;
    matrix.groups = (count + 7) / 8;
    matrix.values.assign(static_cast<size_t>(n * matrix.groups * 8), 0);
    matrix.places.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; i++)
        matrix.places[static_cast<size_t>(i)] = (i / cols) * (cols + 1) + i % cols;
}

void PutMatrixChild(FeatureMatrix& matrix, int c, const int16_t* features)
{
    const int n = static_cast<int>(matrix.places.size());
    for (int i = 0; i < n; i++)
        matrix.values[static_cast<size_t>((i * matrix.groups + c / 8) * 8 + c % 8)] = features[i];
}

namespace {

/* Window k of the extraction: k % 2 columns right and k / 2 rows down. */
inline const int16_t* Window(const int16_t* extraction, int cols, int k)
{
    return extraction + (k >> 1) * (cols + 1) + (k & 1);
}

/* Where group g's distances in window k go. */
inline uint32_t* GroupOut(uint32_t* d, int groups, int k, int g)
{
    return d + (k * groups + g) * 8;
}

/* The distances of group g in window, into out, one child at a time. */
void GroupDistancesPlain(const FeatureMatrix& matrix, const int16_t* window, int g, uint32_t* out)
{
    for (int j = 0; j < 8; j++) {
        uint32_t sum = 0;
        for (size_t i = 0; i < matrix.places.size(); i++)
            sum += static_cast<uint32_t>(
                std::abs(matrix.values[(i * matrix.groups + g) * 8 + j] - window[matrix.places[i]]));
        out[j] = sum;
    }
}

/* The distances of every group in every window, group by group with one of the forms above. */
template <void (*Group)(const FeatureMatrix&, const int16_t*, int, uint32_t*)>
void MatrixDistancesByGroup(const FeatureMatrix& matrix, const int16_t* extraction, int cols, uint32_t* d)
{
    for (int k = 0; k < 4; k++)
        for (int g = 0; g < matrix.groups; g++)
            Group(matrix, Window(extraction, cols, k), g, GroupOut(d, matrix.groups, k, g));
}

#if LANESCOPE_X86_KERNELS

/* The distances of group g in window, into out, 8 children at a time. */
void GroupDistancesSse2(const FeatureMatrix& matrix, const int16_t* window, int g, uint32_t* out)
{
    const size_t step = static_cast<size_t>(matrix.groups) * 8;
    const int16_t* values = matrix.values.data() + g * 8;
    const __m128i zero = _mm_setzero_si128();
    __m128i low = zero, high = zero;
#pragma GCC unroll 4
    for (const int place : matrix.places) {
        const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values));
        values += step;
        const __m128i p = _mm_set1_epi16(window[place]);
        const __m128i diff = _mm_sub_epi16(_mm_max_epi16(f, p), _mm_min_epi16(f, p));
        low = _mm_add_epi32(low, _mm_unpacklo_epi16(diff, zero));
        high = _mm_add_epi32(high, _mm_unpackhi_epi16(diff, zero));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), high);
}

/* Adds the distances of 16 children's values f to the window values p, widened to 32 bits: lanes 0-3 and
   8-11 of the 16 into low, 4-7 and 12-15 into high. */
__attribute__((target("avx2"))) inline void AddDistances16(__m256i f, __m256i p, __m256i* low, __m256i* high)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i diff = _mm256_sub_epi16(_mm256_max_epi16(f, p), _mm256_min_epi16(f, p));
    *low = _mm256_add_epi32(*low, _mm256_unpacklo_epi16(diff, zero));
    *high = _mm256_add_epi32(*high, _mm256_unpackhi_epi16(diff, zero));
}

/* Stores the sums of AddDistances16 in children order: the lower 8 to lower, the upper 8 to upper. */
__attribute__((target("avx2"))) inline void StoreDistances16(__m256i low, __m256i high, uint32_t* lower,
                                                             uint32_t* upper)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(lower), _mm256_permute2x128_si256(low, high, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(upper), _mm256_permute2x128_si256(low, high, 0x31));
}

/* Groups g and g + 1 at once, which lie side by side for every feature. */
__attribute__((target("avx2"))) void GroupPairDistancesAvx2(const FeatureMatrix& matrix,
                                                            const int16_t* window, int g, uint32_t* out)
{
    const size_t step = static_cast<size_t>(matrix.groups) * 8;
    const int16_t* values = matrix.values.data() + g * 8;
    __m256i low = _mm256_setzero_si256(), high = low;
#pragma GCC unroll 4
    for (const int place : matrix.places) {
        AddDistances16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(values)),
                       _mm256_set1_epi16(window[place]), &low, &high);
        values += step;
    }
    StoreDistances16(low, high, out, out + 8);
}

/* Group g in two windows at once: the lower half of each vector for window a, the upper for window b. */
__attribute__((target("avx2"))) void GroupInTwoWindowsAvx2(const FeatureMatrix& matrix, const int16_t* a,
                                                           const int16_t* b, int g, uint32_t* outA,
                                                           uint32_t* outB)
{
    const size_t step = static_cast<size_t>(matrix.groups) * 8;
    const int16_t* values = matrix.values.data() + g * 8;
    __m256i low = _mm256_setzero_si256(), high = low;
#pragma GCC unroll 4
    for (const int place : matrix.places) {
        AddDistances16(_mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(values))),
                       _mm256_set_m128i(_mm_set1_epi16(b[place]), _mm_set1_epi16(a[place])), &low, &high);
        values += step;
    }
    StoreDistances16(low, high, outA, outB);
}

/* Two groups at a time, and a last odd group in two windows at a time. */
__attribute__((target("avx2"))) void MatrixDistancesAvx2(const FeatureMatrix& matrix,
                                                         const int16_t* extraction, int cols, uint32_t* d)
{
    const int groups = matrix.groups;
    int g = 0;
    for (int k = 0; k < 4; k++)
        for (g = 0; g + 2 <= groups; g += 2)
            GroupPairDistancesAvx2(matrix, Window(extraction, cols, k), g, GroupOut(d, groups, k, g));
    if (g < groups)
        for (int k = 0; k < 4; k += 2)
            GroupInTwoWindowsAvx2(matrix, Window(extraction, cols, k), Window(extraction, cols, k + 1), g,
                                  GroupOut(d, groups, k, g), GroupOut(d, groups, k + 1, g));
}

/* The least distance of all first, 8 children at a time; then the first child and window that give it. */
__attribute__((target("avx2"))) int FirstNearestAvx2(const uint32_t* d, int groups, int count,
                                                     uint32_t* distance, int* shift)
{
    const int plane = groups * 8;
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256i least = _mm256_set1_epi32(-1);
    for (int g = 0; g < groups; g++) {
        const uint32_t* at = d + g * 8;
        __m256i m = _mm256_min_epu32(
            _mm256_min_epu32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)),
                             _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + plane))),
            _mm256_min_epu32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 2 * plane)),
                             _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 3 * plane))));
        // Lanes past the last child take no part.
        const __m256i absent = _mm256_cmpgt_epi32(_mm256_set1_epi32(8 * g + 1),
                                                  _mm256_sub_epi32(_mm256_set1_epi32(count), lane));
        least = _mm256_min_epu32(least, _mm256_or_si256(m, absent));
    }
    __m128i m = _mm_min_epu32(_mm256_castsi256_si128(least), _mm256_extracti128_si256(least, 1));
    m = _mm_min_epu32(m, _mm_shuffle_epi32(m, 0x4E));
    m = _mm_min_epu32(m, _mm_shuffle_epi32(m, 0xB1));
    const uint32_t value = static_cast<uint32_t>(_mm_cvtsi128_si32(m));
    for (int c = 0; c < count; c++)
        for (int k = 0; k < 4; k++)
            if (d[k * plane + c] == value) {
                *distance = value;
                *shift = k;
                return c;
            }
    return -1;
}

#endif

} // namespace

void MatrixDistancesPlain(const FeatureMatrix& matrix, const int16_t* extraction, int cols, uint32_t* d)
{
    MatrixDistancesByGroup<GroupDistancesPlain>(matrix, extraction, cols, d);
}

MatrixDistancesForm* MatrixDistancesAt([[maybe_unused]] KernelLevel level)
{
#if LANESCOPE_X86_KERNELS
    if (level >= KernelLevel::Avx2)
        return MatrixDistancesAvx2;
    if (level >= KernelLevel::Sse2)
        return MatrixDistancesByGroup<GroupDistancesSse2>;
#endif
    return MatrixDistancesPlain;
}

void MatrixDistances(const FeatureMatrix& matrix, const int16_t* extraction, int cols, uint32_t* d)
{
    ActiveForm<MatrixDistancesAt>::Call(matrix, extraction, cols, d);
}

int FirstNearestPlain(const uint32_t* d, int groups, int count, uint32_t* distance, int* shift)
{
    const int plane = groups * 8;
    int found = -1;
    for (int c = 0; c < count; c++) {
        int k0 = 0;
        for (int k = 1; k < 4; k++)
            if (d[k * plane + c] < d[k0 * plane + c])
                k0 = k;
        if (found < 0 || d[k0 * plane + c] < *distance) {
            found = c;
            *distance = d[k0 * plane + c];
            *shift = k0;
        }
    }
    return found;
}

FirstNearestForm* FirstNearestAt([[maybe_unused]] KernelLevel level)
{
#if LANESCOPE_X86_KERNELS
    if (level >= KernelLevel::Avx2)
        return FirstNearestAvx2;
#endif
    return FirstNearestPlain;
}

int FirstNearest(const uint32_t* d, int groups, int count, uint32_t* distance, int* shift)
{
    return ActiveForm<FirstNearestAt>::Call(d, groups, count, distance, shift);
}
