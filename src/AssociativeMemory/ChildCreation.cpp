// A new base below another: its features, the tolerance of the ring of shifts around its area, and its
// place in the parent's children.
#include "CvAssociativeMemory.h"

#include "ShiftDistances.h"

#include <cstring>

namespace {

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

} // namespace

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
