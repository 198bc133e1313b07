#include "ExtractionKernels.h"
#include "VectorIntrinsics.h"

int16_t Contrast(int32_t a, int32_t b)
{
    const int32_t hi = a > b ? a : b;
    const int32_t lo = a > b ? b : a;
    if (hi == 0)
        return 0;
    int64_t q;
    if (lo >= 0) {
        // 0 <= lo <= hi < 2^31: the quotient lies in 0..32767 and a non-integral one is at least 1 / hi
        // below the next integer, far more than the double division's rounding error, so truncating the
        // double quotient gives the integer quotient exactly, at a fraction of the cost.
        q = static_cast<int64_t>(static_cast<double>(static_cast<int64_t>(lo) * 32767) /
                                 static_cast<double>(hi));
    } else {
        q = (static_cast<int64_t>(lo) * 32767) / hi;
    }
    // Kept in 64 bits: the wrapped sums of an oversized frame can put v outside the int range.
    const int64_t v = 32767 - q;
    return static_cast<int16_t>(a <= b ? -v : v);
}

void ContrastRowPlain(const int32_t* a, const int32_t* b, int n, int16_t* out)
{
    for (int i = 0; i < n; i++)
        out[i] = Contrast(a[i], b[i]);
}

namespace {

/* out[j cols + q] = in[j stride + q] for j < rows and q < cols: rows formed on a stride, packed. */
typedef void CopyRows(const int16_t* in, int stride, int cols, int rows, int16_t* out);

inline void CopyRowsPlain(const int16_t* in, int stride, int cols, int rows, int16_t* out)
{
    for (int j = 0; j < rows; j++)
        for (int q = 0; q < cols; q++)
            out[j * cols + q] = in[j * stride + q];
}

/* A small grid's contrasts formed by one form of ContrastRow and packed by one way of copying. */
template <ContrastRowForm* Row, CopyRows* Copy>
void ContrastGridWith(const int32_t* sums, int cols, int rows, int16_t* out)
{
    const int cells = cols + 1;
    int16_t contrasts[smallGridCells * smallGridCells + 4];
    Row(sums, sums + cells + 1, ContrastGridPass(cols, rows), contrasts);
    Copy(contrasts, cells, cols, rows, out);
}

} // namespace

void ContrastGridPlain(const int32_t* sums, int cols, int rows, int16_t* out)
{
    ContrastGridWith<ContrastRowPlain, CopyRowsPlain>(sums, cols, rows, out);
}

#if LANESCOPE_X86_KERNELS

namespace {

/* Contrasts in vectors of 4 from i on, as far as whole vectors go; returns where they stopped. */
inline int ContrastBlocksSse2(const int32_t* a, const int32_t* b, int i, int n, int16_t* out)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi32(1);
    const __m128i full = _mm_set1_epi32(32767);
    const __m128d scale = _mm_set1_pd(32767.0);
    for (; i + 4 <= n; i += 4) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        const __m128i greater = _mm_cmpgt_epi32(va, vb);
        const __m128i hi = _mm_or_si128(_mm_and_si128(greater, va), _mm_andnot_si128(greater, vb));
        const __m128i lo = _mm_or_si128(_mm_and_si128(greater, vb), _mm_andnot_si128(greater, va));
        // Negative sums come only from the wrapped integral of an oversized frame: the exact 64-bit path.
        if (_mm_movemask_epi8(_mm_cmplt_epi32(lo, zero))) {
            ContrastRowPlain(a + i, b + i, 4, out + i);
            continue;
        }
        // Here 0 <= lo <= hi, so hi is 0 only with lo: divide by 1 instead and clear the value below.
        const __m128i empty = _mm_cmpeq_epi32(hi, zero);
        const __m128i divisor = _mm_or_si128(hi, _mm_and_si128(empty, one));
        // q = trunc(lo 32767 / hi), exact in double as in Contrast
        const __m128d q01 = _mm_div_pd(_mm_mul_pd(_mm_cvtepi32_pd(lo), scale), _mm_cvtepi32_pd(divisor));
        const __m128d q23 = _mm_div_pd(_mm_mul_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(lo, 0xEE)), scale),
                                       _mm_cvtepi32_pd(_mm_shuffle_epi32(divisor, 0xEE)));
        const __m128i q = _mm_unpacklo_epi64(_mm_cvttpd_epi32(q01), _mm_cvttpd_epi32(q23));
        // v = 32767 - q, negated where a <= b, 0 where both sums are 0
        const __m128i notGreater = _mm_xor_si128(greater, _mm_cmpeq_epi32(zero, zero));
        __m128i v = _mm_sub_epi32(full, q);
        v = _mm_sub_epi32(_mm_xor_si128(v, notGreater), notGreater);
        v = _mm_andnot_si128(empty, v);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(v, v));
    }
    return i;
}

/* Contrasts in vectors of 8, the arithmetic of ContrastBlocksSse2, as far as whole vectors go; returns
   where they stopped. */
__attribute__((target("avx2"))) int ContrastBlocksAvx2(const int32_t* a, const int32_t* b, int n,
                                                       int16_t* out)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i full = _mm256_set1_epi32(32767);
    const __m256d scale = _mm256_set1_pd(32767.0);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
        const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
        const __m256i greater = _mm256_cmpgt_epi32(va, vb);
        const __m256i hi = _mm256_max_epi32(va, vb);
        const __m256i lo = _mm256_min_epi32(va, vb);
        if (_mm256_movemask_epi8(_mm256_cmpgt_epi32(zero, lo))) {
            ContrastRowPlain(a + i, b + i, 8, out + i);
            continue;
        }
        const __m256i empty = _mm256_cmpeq_epi32(hi, zero);
        const __m256i divisor = _mm256_or_si256(hi, _mm256_and_si256(empty, one));
        const __m256d q0 = _mm256_div_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(lo)), scale),
                                         _mm256_cvtepi32_pd(_mm256_castsi256_si128(divisor)));
        const __m256d q1 =
            _mm256_div_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(lo, 1)), scale),
                          _mm256_cvtepi32_pd(_mm256_extracti128_si256(divisor, 1)));
        const __m256i q = _mm256_set_m128i(_mm256_cvttpd_epi32(q1), _mm256_cvttpd_epi32(q0));
        const __m256i notGreater = _mm256_xor_si256(greater, _mm256_cmpeq_epi32(zero, zero));
        __m256i v = _mm256_sub_epi32(full, q);
        v = _mm256_sub_epi32(_mm256_xor_si256(v, notGreater), notGreater);
        v = _mm256_andnot_si256(empty, v);
        // The pack works within each half; the two packed quarters are brought together.
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(v, v), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm256_castsi256_si128(packed));
    }
    return i;
}

/* The first lanes of 16 set, as many as count says (all of them from 16 on, none below 1). */
inline __mmask16 FirstLanes(int count)
{
    return count >= 16  ? __mmask16{0xFFFF}
           : count <= 0 ? __mmask16{0}
                        : static_cast<__mmask16>((1u << count) - 1);
}

/* The contrasts of 16 pairs of sums, the arithmetic of ContrastBlocksSse2, as 32-bit lanes holding the int16
   values. */
LANESCOPE_AVX512 inline __m512i Contrasts16(__m512i va, __m512i vb)
{
    const __m512i zero = _mm512_setzero_si512();
    const __m512i hi = _mm512_max_epi32(va, vb);
    const __m512i lo = _mm512_min_epi32(va, vb);
    if (_mm512_cmplt_epi32_mask(lo, zero)) {
        alignas(64) int32_t a[16], b[16];
        int16_t v[16];
        _mm512_store_si512(a, va);
        _mm512_store_si512(b, vb);
        ContrastRowPlain(a, b, 16, v);
        return _mm512_cvtepi16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(v)));
    }
    const __mmask16 notGreater = static_cast<__mmask16>(~_mm512_cmpgt_epi32_mask(va, vb));
    const __mmask16 filled = _mm512_cmpneq_epi32_mask(hi, zero);
    const __m512i divisor = _mm512_mask_mov_epi32(_mm512_set1_epi32(1), filled, hi);
    const __m512d scale = _mm512_set1_pd(32767.0);
    const __m512d q0 = _mm512_div_pd(_mm512_mul_pd(_mm512_cvtepi32_pd(_mm512_castsi512_si256(lo)), scale),
                                     _mm512_cvtepi32_pd(_mm512_castsi512_si256(divisor)));
    const __m512d q1 =
        _mm512_div_pd(_mm512_mul_pd(_mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(lo, 1)), scale),
                      _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(divisor, 1)));
    const __m512i q =
        _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvttpd_epi32(q0)), _mm512_cvttpd_epi32(q1), 1);
    const __m512i v = _mm512_sub_epi32(_mm512_set1_epi32(32767), q);
    return _mm512_maskz_mov_epi32(filled, _mm512_mask_sub_epi32(v, notGreater, zero, v));
}

/* Vectors of 16, the last one filled in part. */
LANESCOPE_AVX512 void ContrastRowAvx512(const int32_t* a, const int32_t* b, int n, int16_t* out)
{
    for (int i = 0; i < n; i += 16) {
        const __mmask16 lanes = FirstLanes(n - i);
        const __m512i v =
            Contrasts16(_mm512_maskz_loadu_epi32(lanes, a + i), _mm512_maskz_loadu_epi32(lanes, b + i));
        _mm256_mask_storeu_epi16(out + i, lanes, _mm512_cvtepi32_epi16(v));
    }
}

/* The contrasts on the bands' stride in vectors of 16, each packed as it is formed: the lanes of the
   dropped place after each row are squeezed out of the vector before it is stored. */
LANESCOPE_AVX512 void ContrastGridStrideAvx512(const int32_t* sums, int cols, int rows, int16_t* out)
{
    const int cells = cols + 1;
    // The last contrast compares the sum before the last band's last cell with that cell.
    const int n = rows * cells - 1;
    // Bit e is set where the place e columns on from a row's start is dropped, far enough for any vector.
    uint64_t dropped = 0;
    for (int e = cols; e < 16 + cells; e += cells)
        dropped |= uint64_t{1} << e;
    const int advance = 16 % cells;
    int column = 0;
    int16_t* to = out;
    for (int i = 0; i < n; i += 16) {
        const __mmask16 lanes = FirstLanes(n - i);
        const __m512i v = Contrasts16(_mm512_maskz_loadu_epi32(lanes, sums + i),
                                      _mm512_maskz_loadu_epi32(lanes, sums + cells + 1 + i));
        const __mmask16 kept = static_cast<__mmask16>(lanes & ~(dropped >> column));
        const int count = __builtin_popcount(kept);
        _mm256_mask_storeu_epi16(to, FirstLanes(count),
                                 _mm512_cvtepi32_epi16(_mm512_maskz_compress_epi32(kept, v)));
        to += count;
        column += advance;
        if (column >= cells)
            column -= cells;
    }
}

/* sums[from + place[l]] in lane l, for places within 32 of from; sums beyond the count of them read as 0. */
LANESCOPE_AVX512 inline __m512i SumsAt(const int32_t* sums, int count, int from, __m512i place)
{
    const __m512i low = _mm512_maskz_loadu_epi32(FirstLanes(count - from), sums + from);
    const __m512i high = _mm512_maskz_loadu_epi32(FirstLanes(count - from - 16), sums + from + 16);
    return _mm512_permutex2var_epi32(low, place, high);
}

/* A grid whose rows are a power of two of at most 16 values long: each vector takes whole rows, 16 / cols of
   them, gathered from the bands by a permutation, so that no lane is divided in vain. */
LANESCOPE_AVX512 void ContrastGridRowsAvx512(const int32_t* sums, int cols, int rows, int16_t* out)
{
    const int cells = cols + 1;
    const int count = (rows + 1) * cells;
    const int perVector = 16 / cols;
    // Lane l holds row l / cols, column l % cols: place l + l / cols of the bands' stride.
    const __m512i lane = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m512i place =
        _mm512_add_epi32(lane, _mm512_srli_epi32(lane, __builtin_ctz(static_cast<unsigned>(cols))));
    for (int j = 0; j < rows; j += perVector) {
        const int from = j * cells;
        const __m512i v =
            Contrasts16(SumsAt(sums, count, from, place), SumsAt(sums, count, from + cells + 1, place));
        const int values = (rows - j < perVector ? rows - j : perVector) * cols;
        _mm256_mask_storeu_epi16(out + j * cols, FirstLanes(values), _mm512_cvtepi32_epi16(v));
    }
}

/* Rows of a power of two values long by whole rows, others on the bands' stride. */
LANESCOPE_AVX512 void ContrastGridAvx512(const int32_t* sums, int cols, int rows, int16_t* out)
{
    if ((cols & (cols - 1)) == 0 && cols <= 16)
        ContrastGridRowsAvx512(sums, cols, rows, out);
    else
        ContrastGridStrideAvx512(sums, cols, rows, out);
}

/* Vectors of 4, then one pair at a time. */
void ContrastRowSse2(const int32_t* a, const int32_t* b, int n, int16_t* out)
{
    const int i = ContrastBlocksSse2(a, b, 0, n, out);
    ContrastRowPlain(a + i, b + i, n - i, out + i);
}

/* Vectors of 8, then of 4, then one pair at a time. */
void ContrastRowAvx2(const int32_t* a, const int32_t* b, int n, int16_t* out)
{
    const int i = ContrastBlocksSse2(a, b, ContrastBlocksAvx2(a, b, n, out), n, out);
    ContrastRowPlain(a + i, b + i, n - i, out + i);
}

/* Vectors of 8 where they fit the room left in out; what they write past a row's end belongs to later
   rows, copied afterwards. A library call per row would cost more than these few values. */
inline void CopyRowsSse2(const int16_t* in, int stride, int cols, int rows, int16_t* out)
{
    for (int j = 0; j < rows; j++) {
        const int16_t* row = in + j * stride;
        int16_t* to = out + j * cols;
        const int room = (rows - j) * cols;
        int q = 0;
        for (; q < cols && q + 8 <= room; q += 8)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + q),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + q)));
        for (; q < cols; q++)
            to[q] = row[q];
    }
}

} // namespace

#endif

ContrastRowForm* ContrastRowAt([[maybe_unused]] KernelLevel level)
{
#if LANESCOPE_X86_KERNELS
    if (level >= KernelLevel::Avx512)
        return ContrastRowAvx512;
    if (level >= KernelLevel::Avx2)
        return ContrastRowAvx2;
    if (level >= KernelLevel::Sse2)
        return ContrastRowSse2;
#endif
    return ContrastRowPlain;
}

void ContrastRow(const int32_t* a, const int32_t* b, int n, int16_t* out)
{
    ActiveForm<ContrastRowAt>::Call(a, b, n, out);
}

ContrastGridForm* ContrastGridAt([[maybe_unused]] KernelLevel level)
{
#if LANESCOPE_X86_KERNELS
    if (level >= KernelLevel::Avx512)
        return ContrastGridAvx512;
    if (level >= KernelLevel::Avx2)
        return ContrastGridWith<ContrastRowAvx2, CopyRowsSse2>;
    if (level >= KernelLevel::Sse2)
        return ContrastGridWith<ContrastRowSse2, CopyRowsSse2>;
#endif
    return ContrastGridPlain;
}

void ContrastGrid(const int32_t* sums, int cols, int rows, int16_t* out)
{
    ActiveForm<ContrastGridAt>::Call(sums, cols, rows, out);
}
