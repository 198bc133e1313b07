#include "Erosion.h"

#include <algorithm>

#if LANESCOPE_X86_KERNELS
#include <emmintrin.h>
#endif

namespace {

/* The row from pixel x on, one pixel at a time. */
void ErodeRowFrom(int x, const uint8_t* a, const uint8_t* b, int n, uint8_t* out)
{
    const int last = n - 1;
    for (; x < last; x++)
        out[x] = std::min(std::min(a[x], a[x + 1]), std::min(b[x], b[x + 1]));
    out[last] = std::min(a[last], b[last]);
}

#if LANESCOPE_X86_KERNELS

/* Sixteen pixels at a time while the pixel right of them is in the row. */
void ErodeRowSse2(const uint8_t* a, const uint8_t* b, int n, uint8_t* out)
{
    auto at = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    int x = 0;
    for (; x + 16 < n; x += 16)
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(out + x),
            _mm_min_epu8(_mm_min_epu8(at(a + x), at(a + x + 1)), _mm_min_epu8(at(b + x), at(b + x + 1))));
    ErodeRowFrom(x, a, b, n, out);
}

#endif

} // namespace

void ErodeRowPlain(const uint8_t* a, const uint8_t* b, int n, uint8_t* out)
{
    ErodeRowFrom(0, a, b, n, out);
}

ErodeRowForm* ErodeRowAt([[maybe_unused]] KernelLevel level)
{
#if LANESCOPE_X86_KERNELS
    if (level >= KernelLevel::Sse2)
        return ErodeRowSse2;
#endif
    return ErodeRowPlain;
}

void ErodeRow(const uint8_t* a, const uint8_t* b, int n, uint8_t* out)
{
    ActiveForm<ErodeRowAt>::Call(a, b, n, out);
}
