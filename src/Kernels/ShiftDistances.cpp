#include "ShiftDistances.h"
#include "VectorIntrinsics.h"

#include <algorithm>
#include <cstdlib>

namespace {

/* Values are summed in chunks of this many, after each of which the search may give up. */
const int chunkValues = 32;

/* Whether every window's whole distance reaches limit, given its sum so far over the layout: that sum
   holds at most the window's padding besides its distance so far, which can only grow. */
bool Reached(const uint64_t sums[4], const uint64_t padding[4], uint64_t limit)
{
    for (int k = 0; k < 4; k++)
        if (sums[k] < padding[k] || sums[k] - padding[k] < limit)
            return false;
    return true;
}

/* sums[k] = the sum of |layout - window k| over the whole layout, padding included; false when given up. */
typedef bool LayoutSums(const int16_t* layout, const ShiftWindows& w, uint64_t limit, uint64_t sums[4]);

bool LayoutSumsPlain(const int16_t* layout, const ShiftWindows& w, uint64_t limit, uint64_t sums[4])
{
    const int offsets[4] = {0, 1, w.stride, w.stride + 1};
    for (int i = 0; i < w.size; i++) {
        for (int k = 0; k < 4; k++)
            sums[k] += static_cast<uint64_t>(std::abs(layout[i] - w.extraction[i + offsets[k]]));
        if ((i + 1) % chunkValues == 0 && i + 1 < w.size && Reached(sums, w.padding, limit))
            return false;
    }
    return true;
}

/* The distances from the sums of one form over the layout, less what the padding added. */
template <LayoutSums* Sums>
bool ShiftDistancesFrom(const int16_t* layout, const ShiftWindows& windows, uint64_t limit, uint64_t d[4])
{
    d[0] = d[1] = d[2] = d[3] = 0;
    if (!Sums(layout, windows, limit, d))
        return false;
    for (int k = 0; k < 4; k++)
        d[k] -= windows.padding[k];
    return true;
}

#if LANESCOPE_X86_KERNELS

/* sums[k] += the sum of the four 32-bit lanes of acc[k]. */
inline void AddLaneSums(const __m128i acc[4], uint64_t sums[4])
{
    // Transposed add: lane k of the result is the sum of the four lanes of acc[k].
    const __m128i s01 = _mm_add_epi32(_mm_unpacklo_epi32(acc[0], acc[1]), _mm_unpackhi_epi32(acc[0], acc[1]));
    const __m128i s23 = _mm_add_epi32(_mm_unpacklo_epi32(acc[2], acc[3]), _mm_unpackhi_epi32(acc[2], acc[3]));
    alignas(16) uint32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes),
                    _mm_add_epi32(_mm_unpacklo_epi64(s01, s23), _mm_unpackhi_epi64(s01, s23)));
    for (int k = 0; k < 4; k++)
        sums[k] += lanes[k];
}

/* Vectors of 8: max - min of two int16 is their distance as an unsigned 16-bit value. Each 32-bit lane
   takes at most 8 of them per chunk, and the four lanes of a window add up below 2^21. */
bool LayoutSumsSse2(const int16_t* layout, const ShiftWindows& w, uint64_t limit, uint64_t sums[4])
{
    const __m128i zero = _mm_setzero_si128();
    const int16_t* const starts[4] = {w.extraction, w.extraction + 1, w.extraction + w.stride,
                                      w.extraction + w.stride + 1};
    int i = 0;
    while (i < w.size) {
        const int chunkEnd = std::min(w.size, i + chunkValues);
        __m128i acc[4] = {zero, zero, zero, zero};
        for (; i < chunkEnd; i += 8) {
            const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(layout + i));
            for (int k = 0; k < 4; k++) {
                const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(starts[k] + i));
                const __m128i diff = _mm_sub_epi16(_mm_max_epi16(f, p), _mm_min_epi16(f, p));
                acc[k] = _mm_add_epi32(
                    acc[k], _mm_add_epi32(_mm_unpacklo_epi16(diff, zero), _mm_unpackhi_epi16(diff, zero)));
            }
        }
        AddLaneSums(acc, sums);
        if (i < w.size && Reached(sums, w.padding, limit))
            return false;
    }
    return true;
}

/* Vectors of 16. */
__attribute__((target("avx2"))) bool LayoutSumsAvx2(const int16_t* layout, const ShiftWindows& w,
                                                    uint64_t limit, uint64_t sums[4])
{
    const __m256i zero = _mm256_setzero_si256();
    const int16_t* const starts[4] = {w.extraction, w.extraction + 1, w.extraction + w.stride,
                                      w.extraction + w.stride + 1};
    int i = 0;
    while (i < w.size) {
        const int chunkEnd = std::min(w.size, i + chunkValues);
        __m256i acc[4] = {zero, zero, zero, zero};
        for (; i < chunkEnd; i += 16) {
            const __m256i f = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(layout + i));
            for (int k = 0; k < 4; k++) {
                const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(starts[k] + i));
                const __m256i diff = _mm256_sub_epi16(_mm256_max_epi16(f, p), _mm256_min_epi16(f, p));
                acc[k] = _mm256_add_epi32(acc[k], _mm256_add_epi32(_mm256_unpacklo_epi16(diff, zero),
                                                                   _mm256_unpackhi_epi16(diff, zero)));
            }
        }
        __m128i halves[4];
        for (int k = 0; k < 4; k++)
            halves[k] = _mm_add_epi32(_mm256_castsi256_si128(acc[k]), _mm256_extracti128_si256(acc[k], 1));
        AddLaneSums(halves, sums);
        if (i < w.size && Reached(sums, w.padding, limit))
            return false;
    }
    return true;
}

/* Vectors of 32, one to a chunk; the last chunk may hold only 16 layout values, and the vector reads no
   further than they go. */
LANESCOPE_AVX512 bool LayoutSumsAvx512(const int16_t* layout, const ShiftWindows& w, uint64_t limit,
                                       uint64_t sums[4])
{
    const __m512i zero = _mm512_setzero_si512();
    const int16_t* const starts[4] = {w.extraction, w.extraction + 1, w.extraction + w.stride,
                                      w.extraction + w.stride + 1};
    for (int i = 0; i < w.size; i += chunkValues) {
        const __mmask32 lanes = w.size - i >= 32 ? ~__mmask32{0} : (__mmask32{1} << (w.size - i)) - 1;
        const __m512i f = _mm512_maskz_loadu_epi16(lanes, layout + i);
        __m128i acc[4];
        for (int k = 0; k < 4; k++) {
            const __m512i p = _mm512_maskz_loadu_epi16(lanes, starts[k] + i);
            const __m512i diff = _mm512_sub_epi16(_mm512_max_epi16(f, p), _mm512_min_epi16(f, p));
            const __m512i wide =
                _mm512_add_epi32(_mm512_unpacklo_epi16(diff, zero), _mm512_unpackhi_epi16(diff, zero));
            const __m256i half =
                _mm256_add_epi32(_mm512_castsi512_si256(wide), _mm512_extracti64x4_epi64(wide, 1));
            acc[k] = _mm_add_epi32(_mm256_castsi256_si128(half), _mm256_extracti128_si256(half, 1));
        }
        AddLaneSums(acc, sums);
        if (i + chunkValues < w.size && Reached(sums, w.padding, limit))
            return false;
    }
    return true;
}

#endif

} // namespace

int SearchLayoutSize(int cols, int rows)
{
    return (rows * (cols + 1) + 15) & ~15;
}

void LayOutForSearch(const int16_t* features, int cols, int rows, int16_t* layout)
{
    std::fill(layout, layout + SearchLayoutSize(cols, rows), int16_t{0});
    for (int r = 0; r < rows; r++)
        std::copy(features + r * cols, features + (r + 1) * cols, layout + r * (cols + 1));
}

ShiftWindows FindShiftWindows(const int16_t* extraction, int cols, int rows)
{
    ShiftWindows w = {extraction, cols + 1, SearchLayoutSize(cols, rows), {0, 0, 0, 0}};
    const int offsets[4] = {0, 1, w.stride, w.stride + 1};
    auto addPadding = [&](int i) {
        for (int k = 0; k < 4; k++)
            w.padding[k] += static_cast<uint64_t>(std::abs(static_cast<int>(extraction[i + offsets[k]])));
    };
    for (int r = 0; r < rows; r++)
        addPadding(r * w.stride + cols);
    for (int i = rows * w.stride; i < w.size; i++)
        addPadding(i);
    return w;
}

bool ShiftDistancesPlain(const int16_t* layout, const ShiftWindows& windows, uint64_t limit, uint64_t d[4])
{
    return ShiftDistancesFrom<LayoutSumsPlain>(layout, windows, limit, d);
}

ShiftDistancesForm* ShiftDistancesAt([[maybe_unused]] KernelLevel level)
{
#if LANESCOPE_X86_KERNELS
    if (level >= KernelLevel::Avx512)
        return ShiftDistancesFrom<LayoutSumsAvx512>;
    if (level >= KernelLevel::Avx2)
        return ShiftDistancesFrom<LayoutSumsAvx2>;
    if (level >= KernelLevel::Sse2)
        return ShiftDistancesFrom<LayoutSumsSse2>;
#endif
    return ShiftDistancesPlain;
}

bool ShiftDistances(const int16_t* layout, const ShiftWindows& windows, uint64_t limit, uint64_t d[4])
{
    return ActiveForm<ShiftDistancesAt>::Call(layout, windows, limit, d);
}
