#include "MatrixDistances.h"
#include "VectorIntrinsics.h"

#include <cstdlib>
#include <cstring>

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

/* Adds the distances of 32 children's values f to the window values p, widened to 32 bits: lanes 0-3 of each
   quarter of the 32 into low, lanes 4-7 into high. */
LANESCOPE_AVX512 inline void AddDistances32(__m512i f, __m512i p, __m512i* low, __m512i* high)
{
    const __m512i zero = _mm512_setzero_si512();
    const __m512i diff = _mm512_sub_epi16(_mm512_max_epi16(f, p), _mm512_min_epi16(f, p));
    *low = _mm512_add_epi32(*low, _mm512_unpacklo_epi16(diff, zero));
    *high = _mm512_add_epi32(*high, _mm512_unpackhi_epi16(diff, zero));
}

/* The sums of AddDistances32 in the order of the 32 lanes: lanes 0-15 into first, 16-31 into second. */
LANESCOPE_AVX512 inline void OrderDistances32(__m512i low, __m512i high, __m512i* first, __m512i* second)
{
    *first = _mm512_permutex2var_epi64(low, _mm512_setr_epi64(0, 1, 8, 9, 2, 3, 10, 11), high);
    *second = _mm512_permutex2var_epi64(low, _mm512_setr_epi64(4, 5, 12, 13, 6, 7, 14, 15), high);
}

/* The two int16 values at p, as one 32-bit value. */
inline uint32_t TwoValues(const int16_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

/* Groups g to g + 3, which lie side by side for every feature, in one window. */
LANESCOPE_AVX512 void GroupQuadDistancesAvx512(const FeatureMatrix& matrix, const int16_t* window, int g,
                                               uint32_t* out)
{
    const size_t step = static_cast<size_t>(matrix.groups) * 8;
    const int16_t* values = matrix.values.data() + g * 8;
    __m512i low = _mm512_setzero_si512(), high = low;
#pragma GCC unroll 4
    for (const int place : matrix.places) {
        AddDistances32(_mm512_loadu_si512(values), _mm512_set1_epi16(window[place]), &low, &high);
        values += step;
    }
    __m512i first, second;
    OrderDistances32(low, high, &first, &second);
    _mm512_storeu_si512(out, first);
    _mm512_storeu_si512(out + 16, second);
}

/* Groups g and g + 1 in two neighbouring windows at once: lanes 0-15 for window a, 16-31 for the window a
   column to its right. */
LANESCOPE_AVX512 void GroupPairInTwoWindowsAvx512(const FeatureMatrix& matrix, const int16_t* a, int g,
                                                  uint32_t* outA, uint32_t* outB)
{
    const size_t step = static_cast<size_t>(matrix.groups) * 8;
    const int16_t* values = matrix.values.data() + g * 8;
    // Byte pairs 0 and 1 of each 32-bit value: the value of window a in the lower half, of the other above.
    const __m512i spread = _mm512_set_epi32(
        0x03020302, 0x03020302, 0x03020302, 0x03020302, 0x03020302, 0x03020302, 0x03020302, 0x03020302,
        0x01000100, 0x01000100, 0x01000100, 0x01000100, 0x01000100, 0x01000100, 0x01000100, 0x01000100);
    __m512i low = _mm512_setzero_si512(), high = low;
#pragma GCC unroll 4
    for (const int place : matrix.places) {
        const __m512i p =
            _mm512_shuffle_epi8(_mm512_set1_epi32(static_cast<int>(TwoValues(a + place))), spread);
        AddDistances32(_mm512_broadcast_i64x4(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(values))),
                       p, &low, &high);
        values += step;
    }
    __m512i first, second;
    OrderDistances32(low, high, &first, &second);
    _mm512_storeu_si512(outA, first);
    _mm512_storeu_si512(outB, second);
}

/* Group g in all four windows at once, a quarter of each vector per window. */
LANESCOPE_AVX512 void GroupInFourWindowsAvx512(const FeatureMatrix& matrix, const int16_t* extraction,
                                               int cols, int g, uint32_t* d)
{
    const size_t step = static_cast<size_t>(matrix.groups) * 8;
    const int16_t* values = matrix.values.data() + g * 8;
    const int stride = cols + 1;
    // Windows 0 and 1 side by side in one row, 2 and 3 in the next: quarter k takes the k-th value.
    const __m512i spread = _mm512_set_epi32(
        0x07060706, 0x07060706, 0x07060706, 0x07060706, 0x05040504, 0x05040504, 0x05040504, 0x05040504,
        0x03020302, 0x03020302, 0x03020302, 0x03020302, 0x01000100, 0x01000100, 0x01000100, 0x01000100);
    __m512i low = _mm512_setzero_si512(), high = low;
#pragma GCC unroll 4
    for (const int place : matrix.places) {
        const uint64_t four = TwoValues(extraction + place) |
                              static_cast<uint64_t>(TwoValues(extraction + place + stride)) << 32;
        const __m512i p = _mm512_shuffle_epi8(_mm512_set1_epi64(static_cast<long long>(four)), spread);
        AddDistances32(_mm512_broadcast_i32x4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(values))), p,
                       &low, &high);
        values += step;
    }
    __m512i first, second;
    OrderDistances32(low, high, &first, &second);
    const int groups = matrix.groups;
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(GroupOut(d, groups, 0, g)), _mm512_castsi512_si256(first));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(GroupOut(d, groups, 1, g)),
                        _mm512_extracti64x4_epi64(first, 1));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(GroupOut(d, groups, 2, g)),
                        _mm512_castsi512_si256(second));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(GroupOut(d, groups, 3, g)),
                        _mm512_extracti64x4_epi64(second, 1));
}

/* Four groups at a time; then a pair of groups in two windows at a time, and a last odd group in all four
   windows at once. */
LANESCOPE_AVX512 void MatrixDistancesAvx512(const FeatureMatrix& matrix, const int16_t* extraction, int cols,
                                            uint32_t* d)
{
    const int groups = matrix.groups;
    int g = 0;
    for (int k = 0; k < 4; k++)
        for (g = 0; g + 4 <= groups; g += 4)
            GroupQuadDistancesAvx512(matrix, Window(extraction, cols, k), g, GroupOut(d, groups, k, g));
    if (g + 2 <= groups) {
        for (int k = 0; k < 4; k += 2)
            GroupPairInTwoWindowsAvx512(matrix, Window(extraction, cols, k), g, GroupOut(d, groups, k, g),
                                        GroupOut(d, groups, k + 1, g));
        g += 2;
    }
    if (g < groups)
        GroupInFourWindowsAvx512(matrix, extraction, cols, g, d);
}

/* The least distance of all first, 8 children at a time; then the first child and window that give it, from
   a mask of the children at that distance. Vectors of 8 read the distances a group at a time, as
   MatrixDistances wrote them, so that each comes straight from the store that wrote it. */
LANESCOPE_AVX512 int FirstNearestAvx512(const uint32_t* d, int groups, int count, uint32_t* distance,
                                        int* shift)
{
    const int plane = groups * 8;
    auto lanesOf = [count](int g) {
        return count - 8 * g >= 8 ? __mmask8{0xFF} : static_cast<__mmask8>((1u << (count - 8 * g)) - 1);
    };
    // Lanes past the last child take no part.
    __m256i least = _mm256_set1_epi32(-1);
    for (int g = 0; g < groups; g++) {
        const uint32_t* at = d + g * 8;
        const __m256i m = _mm256_min_epu32(
            _mm256_min_epu32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)),
                             _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + plane))),
            _mm256_min_epu32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 2 * plane)),
                             _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 3 * plane))));
        least = _mm256_mask_min_epu32(least, lanesOf(g), least, m);
    }
    __m128i m = _mm_min_epu32(_mm256_castsi256_si128(least), _mm256_extracti128_si256(least, 1));
    m = _mm_min_epu32(m, _mm_shuffle_epi32(m, 0x4E));
    m = _mm_min_epu32(m, _mm_shuffle_epi32(m, 0xB1));
    const uint32_t value = static_cast<uint32_t>(_mm_cvtsi128_si32(m));
    const __m256i wanted = _mm256_set1_epi32(static_cast<int>(value));
    for (int g = 0; g < groups; g++) {
        const uint32_t* at = d + g * 8;
        // Bit 8 k + j: child j of the group has that distance in window k.
        uint32_t found = 0;
        for (int k = 0; k < 4; k++)
            found |=
                static_cast<uint32_t>(_mm256_mask_cmpeq_epu32_mask(
                    lanesOf(g), _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + k * plane)), wanted))
                << (8 * k);
        if (!found)
            continue;
        const uint32_t children = (found | found >> 8 | found >> 16 | found >> 24) & 0xFF;
        const int j = __builtin_ctz(children);
        *distance = value;
        *shift = __builtin_ctz(found >> j & 0x01010101) / 8;
        return 8 * g + j;
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
    if (level >= KernelLevel::Avx512)
        return MatrixDistancesAvx512;
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
    if (level >= KernelLevel::Avx512)
        return FirstNearestAvx512;
    if (level >= KernelLevel::Avx2)
        return FirstNearestAvx2;
#endif
    return FirstNearestPlain;
}

int FirstNearest(const uint32_t* d, int groups, int count, uint32_t* distance, int* shift)
{
    return ActiveForm<FirstNearestAt>::Call(d, groups, count, distance, shift);
}
