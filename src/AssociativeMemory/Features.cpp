// Contrast features of image areas, new bases with their ring thresholds, and the search for the best child.
#include "CvAssociativeMemory.h"

#include "ChildMatrix.h"
#include "ChildSearch.h"
#include "ContrastKernel.h"
#include "FeatureKernels.h"
#include "SearchAhead.h"
#include "SeqEntries.h"
#include "ShiftDistances.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

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

/* Copies a row of n values to out, which has room for room values, in whole vectors where they fit the
   room; what they write past the row's end belongs to later rows, copied afterwards. A library call per row
   would cost more than these few values. */
inline void CopyRow(const int16_t* row, int n, int16_t* out, int room)
{
    int q = 0;
#if defined(__SSE2__) && defined(__x86_64__)
    for (; q < n && q + 8 <= room; q += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + q),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + q)));
#endif
    for (; q < n; q++)
        out[q] = row[q];
}

/* (a x b) / c truncated, exact for every 64-bit a and c with a <= c and b < 2^31. */
inline uint64_t MulDiv(uint64_t a, uint64_t b, uint64_t c)
{
    // The usual case, a product within 64 bits, takes one ordinary division.
    if (a <= std::numeric_limits<uint64_t>::max() / b)
        return a * b / c;
#if defined(__SIZEOF_INT128__)
    __extension__ typedef unsigned __int128 Wide;
    return static_cast<uint64_t>(static_cast<Wide>(a) * b / c);
#else
    // a = q c + r, so a b / c = q b + r b / c; r b is formed as a long double only where it might overflow.
    const uint64_t q = a / c;
    const uint64_t r = a % c;
    if (r <= std::numeric_limits<uint64_t>::max() / b)
        return q * b + r * b / c;
    return q * b + static_cast<uint64_t>(static_cast<long double>(r) * b / c);
#endif
}

/* The match score of a distance d against a threshold t: above 2^30 - 1 exactly when d < t. */
int MatchScore(uint64_t d, uint64_t t)
{
    // A uniform area read against a uniform base has d = t = 0: no match, and the lowest score.
    if (d == 0 && t == 0)
        return 0;
    // d >= t: score = t C / d; else score = 2147483647 - d C / t, with C = 2^30 - 1
    if (d >= t)
        return static_cast<int>(MulDiv(t, CV_AM_SCORE_HALF, d));
    return CV_AM_SCORE_MAX - static_cast<int>(MulDiv(d, CV_AM_SCORE_HALF, t));
}

/* Mean distance between features and the vectors on the border of the square of half-cell shifts
   around area, widened by 10.5 %: the tolerance of a newly trained base. */
uint64_t RingThreshold(const CvAMContext* c, const CvMat* integral, CvRect area, int cols, int rows,
                       const int16_t* features)
{
    const int x = area.x, y = area.y, w = area.width, h = area.height;
    // half a cell of the current interest area
    const int dx = (c->scanRects[0].width / (cols + 2)) >> 1;
    const int dy = (c->scanRects[0].height / (rows + 2)) >> 1;

    int xa = x - dx, wa = w;
    if (x < dx) {
        xa = 0;
        wa = w - dx;
    }
    int ya = y - dy, ha = h;
    if (y < dy) {
        ya = 0;
        ha = h - dy;
    }
    const int xb = x + dx;
    const int yb = y + dy;
    const int wb = x + w + dx >= integral->cols - 1 ? w - dx : w;
    const int hb = y + h + dy >= integral->rows - 1 ? h - dy : h;

    int64_t sum = 0;
    int64_t count = 0;
    auto visit = [&](int px, int py, int pw, int ph) {
        ExtractFeatures(integral, cvRect(px, py, pw, ph), cols, rows, c->scratch);
        sum += static_cast<int64_t>(FeatureDistance(cols, rows, c->scratch, features));
        count++;
    };
    for (int px = xa; px <= xb; px++)
        visit(px, ya, wb, ha); // top
    for (int py = ya; py <= yb; py++)
        visit(xb, py, wb, hb); // right
    for (int px = xa; px <= xb; px++)
        visit(px, yb, wb, hb); // bottom
    for (int py = ya; py <= yb; py++)
        visit(xa, py, wa, hb); // left

    const int64_t q = sum / count;
    return static_cast<uint64_t>(static_cast<double>(q) * 1.105);
}

/* Whether base's children, of grid g, are searched side by side. */
bool SearchesAsMatrix(CvSize g)
{
    return g.width * g.height <= MatrixGridValues();
}

/* The child nearest to one of the four windows, from the children side by side in base's matrix, which
   must be up to date; distances has room for the matrix's distances. */
ChildChoice NearestInMatrix(const CvAMBase& base, CvSize g, const int16_t* scratch, uint32_t* distances)
{
    const ChildMatrix& matrix = *base.matrix;
    ChildChoice choice = {NULL, 0, 0, matrix.lastVacated};
    MatrixDistances(matrix, scratch, g.width, distances);
    uint32_t distance = 0;
    const int c = FirstNearest(distances, matrix.groups, static_cast<int>(matrix.children.size()), &distance,
                               &choice.shift);
    if (c >= 0) {
        choice.child = matrix.children[static_cast<size_t>(c)];
        choice.distance = distance;
    }
    return choice;
}

/* The child nearest to one of the four windows, comparing one child at a time. */
ChildChoice NearestOneByOne(const CvAMBase& base, CvSize g, const int16_t* scratch)
{
    // Every child of this base has the grid g, so all are compared with the same four windows.
    const ShiftWindows windows = FindShiftWindows(scratch, g.width, g.height);
    ChildChoice choice = {NULL, std::numeric_limits<uint64_t>::max(), 0, NULL};
    ForEachEntry(base.children, [&](CvAMBase** entry) {
        CvAMBase* child = *entry;
        if (!child) {
            choice.vacated = entry;
            return;
        }
        // A child whose four distances have all reached the best so far cannot be chosen: its sums stop
        // there.
        uint64_t d[4];
        if (!ShiftDistances(child->searchFeatures, windows, choice.distance, d))
            return;
        int shift = 0;
        for (int k = 1; k < 4; k++)
            if (d[k] < d[shift])
                shift = k;
        if (d[shift] < choice.distance) {
            choice.child = child;
            choice.distance = d[shift];
            choice.shift = shift;
        }
    });
    return choice;
}

} // namespace

void ExtractFeatures(const CvMat* integral, CvRect area, int cols, int rows, int16_t* out)
{
    // the vector spans cols + 1 by rows + 1 cells, the top-left one at (x, y)
    const int cw = area.width / (cols + 1);
    const int ch = area.height / (rows + 1);
    const int cells = cols + 1;
    // A small grid, as every search's is, has all its bands summed first and all its contrasts formed in
    // one pass over them: feature (i, j) compares the cell at j cells + i with the one cells + 1 later. The
    // pass also forms one value after each row, which is dropped, and runs to a whole vector of 4.
    const int smallCells = 32;
    if (cells <= smallCells && rows < smallCells) {
        int32_t sums[(smallCells + 1) * smallCells + 4];
        int16_t contrasts[smallCells * smallCells + 4];
        for (int j = 0; j <= rows; j++)
            CellRow(integral, area.y + j * ch, area.y + (j + 1) * ch, area.x, cw, cells, sums + j * cells);
        const int n = (rows * cells + 3) & ~3;
        std::fill(sums + (rows + 1) * cells, sums + n + cells + 1, 0);
        ContrastRow(sums, sums + cells + 1, n, contrasts);
        for (int j = 0; j < rows; j++)
            CopyRow(contrasts + j * cells, cols, out + j * cols, (rows - j) * cols);
        return;
    }
    // Each band of cells is summed once and compared with the next band, in strips of columns that fit
    // two small row buffers.
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

uint64_t FeatureDistance(int cols, int rows, const int16_t* a, const int16_t* b)
{
    if (cols <= 0 || rows <= 0)
        return 0;
    return AbsDiffSum(a, b, cols * rows);
}

void RebuildChildMatrix(CvAMBase* base, CvSize g)
{
    if (!SearchesAsMatrix(g))
        return;
    if (!base->matrix)
        base->matrix = new ChildMatrix;
    ChildMatrix& matrix = *base->matrix;
    matrix.treeChanges = base->context->treeChanges;
    matrix.children.clear();
    matrix.lastVacated = NULL;
    ForEachEntry(base->children, [&](CvAMBase** entry) {
        if (*entry)
            matrix.children.push_back(*entry);
        else
            matrix.lastVacated = entry;
    });
    FillChildMatrix(matrix, g.width, g.height);
}

size_t ChildSearchRoom(const CvAMBase& base)
{
    return base.matrix ? base.matrix->distances.size() : 0;
}

ChildChoice ChooseChild(const CvAMBase& base, CvSize g, const CvMat* integral, CvRect area, int16_t* scratch,
                        uint32_t* distances)
{
    // One column and one row more than a child's grid, so four child-sized windows fit, one cell apart.
    ExtractFeatures(integral, area, g.width + 1, g.height + 1, scratch);
    if (SearchesAsMatrix(g))
        return NearestInMatrix(base, g, scratch, distances);
    return NearestOneByOne(base, g, scratch);
}

CvAMBase* CvAMBase::CreateChild(const CvMat* integral, CvRect area, const int16_t* src,
                                const CvAMBaseHeader* header)
{
    CvAMContext* c = context;
    CvAMBase* child = new CvAMBase(c);
    child->level = static_cast<int16_t>(level + 1);
    const CvSize grid = c->GetGridSize(child->level);
    child->gridWidth = grid.width;
    child->gridHeight = grid.height;
    const int n = grid.width * grid.height;
    // The search layout shares the features' block.
    const int layoutSize = SearchLayoutSize(grid.width, grid.height);
    child->features = static_cast<int16_t*>(cvAlloc(sizeof(int16_t) * static_cast<size_t>(n + layoutSize)));
    child->searchFeatures = child->features + n;
    c->dataSize += n * 2;

    uint64_t candidate = 0;
    if (src) {
        std::memcpy(child->features, src, sizeof(int16_t) * static_cast<size_t>(n));
    } else {
        ExtractFeatures(integral, area, grid.width, grid.height, child->features);
        candidate = RingThreshold(c, integral, area, grid.width, grid.height, child->features);
    }
    LayOutForSearch(child->features, grid.width, grid.height, child->searchFeatures);

    if (c->seqPool->total > 0)
        cvSeqPop(c->seqPool, &child->children);
    else
        child->children = cvCreateSeq(0, sizeof(CvSeq), sizeof(CvAMBase*), c->storage);

    if (header) {
        static_cast<CvAMBaseHeader&>(*child) = *header;
    } else {
        static_cast<CvAMBaseHeader&>(*child) = CvAMBaseHeader{0, 0, 0, 0};
        child->index = ++c->baseIndex;
        child->threshold = candidate;
    }

    if (c->deepestLevel < child->level)
        c->deepestLevel = child->level;

    if (freeSlot) {
        *freeSlot = child;
        freeSlot = NULL;
    } else {
        cvSeqPush(children, &child);
    }
    return child;
}

bool CvAMBase::MatchChildren(const CvMat* integral, CvRect* area, CvAMBase** best, int* score)
{
    CvAMContext* c = context;
    const CvSize g = c->GetGridSize(static_cast<int16_t>(level + 1));
    const CvRect s = c->scanRects[level];
    area->width = s.width;
    area->height = s.height;
    ChildChoice choice;
    if (!TakeSearchAhead(*c, this, *area, &choice)) {
        PrepareChildSearch(this, g);
        choice = ChooseChild(*this, g, integral, *area, c->scratch, matrix ? matrix->distances.data() : NULL);
    }
    if (choice.vacated)
        freeSlot = choice.vacated;
    *best = choice.child;
    if (choice.child && score)
        *score = MatchScore(choice.distance, choice.child->threshold);
    return FollowChoice(choice, s, area);
}
