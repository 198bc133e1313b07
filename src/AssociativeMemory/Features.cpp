// Contrast features of image areas, read from the integral image, and the distance of two feature vectors.
#include "CvAssociativeMemory.h"

#include "AbsDiffSum.h"
#include "ExtractionKernels.h"

#include <algorithm>
#include <utility>

namespace {

/* Sums of count adjacent cells of width cw in one band of rows [r0, r1), the first at column c0. Sums of
   8-bit pixels fit 32 bits; the corner terms are combined modulo 2^32, which cannot overflow. */
inline void CellRow(const CvMat* integral, int r0, int r1, int c0, int cw, int count, int32_t* out)
{
    const uchar* data = integral->data.ptr;
    const uint32_t* top =
        reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(r0) * integral->step);
    const uint32_t* bottom =
        reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(r1) * integral->step);
    // column strip sum D(c) = I(r1, c) - I(r0, c); cell k = D(c0 + (k + 1) cw) - D(c0 + k cw)
    uint32_t left = bottom[c0] - top[c0];
    for (int k = 0; k < count; k++) {
        const int c = c0 + (k + 1) * cw;
        const uint32_t right = bottom[c] - top[c];
        out[k] = static_cast<int32_t>(right - left);
        left = right;
    }
}

/* A grid too large for ContrastGrid: each band of cells summed once and compared with the next band, in
   strips of columns that fit two small row buffers. */
void ExtractInStrips(const CvMat* integral, CvRect area, int cw, int ch, int cols, int rows, int16_t* out)
{
    const int strip = 128;
    int32_t bands[2][strip + 1];
    for (int i0 = 0; i0 < cols; i0 += strip) {
        const int n = std::min(strip, cols - i0);
        const int c0 = area.x + i0 * cw;
        int32_t* upper = bands[0];
        int32_t* lower = bands[1];
        CellRow(integral, area.y, area.y + ch, c0, cw, n + 1, upper);
        for (int j = 0; j < rows; j++) {
            const int r1 = area.y + (j + 1) * ch;
            CellRow(integral, r1, r1 + ch, c0, cw, n + 1, lower);
            ContrastRow(upper, lower + 1, n, out + j * cols + i0);
            std::swap(upper, lower);
        }
    }
}

} // namespace

void ExtractFeatures(const CvMat* integral, CvRect area, int cols, int rows, int16_t* out)
{
    // the vector spans cols + 1 by rows + 1 cells, the top-left one at (x, y)
    const int cw = area.width / (cols + 1);
    const int ch = area.height / (rows + 1);
    const int cells = cols + 1;
    if (cells > smallGridCells || rows >= smallGridCells) {
        ExtractInStrips(integral, area, cw, ch, cols, rows, out);
        return;
    }
    // A small grid, as every search's is, has all its bands summed first and all its contrasts formed in
    // one pass over them.
    int32_t sums[(smallGridCells + 1) * smallGridCells + 4];
    for (int j = 0; j <= rows; j++)
        CellRow(integral, area.y + j * ch, area.y + (j + 1) * ch, area.x, cw, cells, sums + j * cells);
    std::fill(sums + (rows + 1) * cells, sums + ContrastGridSums(cols, rows), 0);
    ContrastGrid(sums, cols, rows, out);
}

uint64_t FeatureDistance(int cols, int rows, const int16_t* a, const int16_t* b)
{
    if (cols <= 0 || rows <= 0)
        return 0;
    return AbsDiffSum(a, b, cols * rows);
}
