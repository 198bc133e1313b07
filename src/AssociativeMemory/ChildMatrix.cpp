#include "ChildMatrix.h"

#include "CvAssociativeMemory.h"

#include <cstdlib>

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

void FillChildMatrix(ChildMatrix& matrix, int cols, int rows)
{
    const int n = cols * rows;
    const int m = static_cast<int>(matrix.children.size());
    matrix.groups = (m + 7) / 8;
    matrix.values.assign(static_cast<size_t>(n * matrix.groups * 8), 0);
    matrix.distances.assign(static_cast<size_t>(4 * matrix.groups * 8), 0);
    matrix.places.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; i++)
        matrix.places[static_cast<size_t>(i)] = (i / cols) * (cols + 1) + i % cols;
    for (int c = 0; c < m; c++)
        for (int i = 0; i < n; i++)
            matrix.values[static_cast<size_t>((i * matrix.groups + c / 8) * 8 + c % 8)] =
                matrix.children[static_cast<size_t>(c)]->features[i];
}

void MatrixDistances(const ChildMatrix& matrix, const int16_t* extraction, int cols, int rows, uint32_t* d)
{
    const int n = cols * rows;
    const int stride = cols + 1;
    const int groups = matrix.groups;
    const int* place = matrix.places.data();
    for (int k = 0; k < 4; k++) {
        const int16_t* window = extraction + (k >> 1) * stride + (k & 1);
        for (int g = 0; g < groups; g++) {
            uint32_t* out = d + (k * groups + g) * 8;
#if defined(__SSE2__) && defined(__x86_64__)
            // Each 32-bit lane takes at most CV_AM_MATRIX_VALUES distances below 2^16.
            const __m128i zero = _mm_setzero_si128();
            __m128i low = zero, high = zero;
            for (int i = 0; i < n; i++) {
                const __m128i f =
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(&matrix.values[(i * groups + g) * 8]));
                const __m128i p = _mm_set1_epi16(window[place[i]]);
                const __m128i diff = _mm_sub_epi16(_mm_max_epi16(f, p), _mm_min_epi16(f, p));
                low = _mm_add_epi32(low, _mm_unpacklo_epi16(diff, zero));
                high = _mm_add_epi32(high, _mm_unpackhi_epi16(diff, zero));
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), low);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), high);
#else
            for (int j = 0; j < 8; j++) {
                uint32_t sum = 0;
                for (int i = 0; i < n; i++)
                    sum += static_cast<uint32_t>(
                        std::abs(matrix.values[(i * groups + g) * 8 + j] - window[place[i]]));
                out[j] = sum;
            }
#endif
        }
    }
}
