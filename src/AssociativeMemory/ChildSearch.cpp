// The search of a base's children for the one nearest to an area: all at once from the base's child
// matrix where their grids are small, one at a time otherwise.
#include "ChildSearch.h"

#include "MatrixDistances.h"
#include "SeqEntries.h"
#include "ShiftDistances.h"

#include <limits>

namespace {

/* Whether base's children, of grid g, are searched side by side. */
bool SearchesAsMatrix(CvSize g)
{
    return g.width * g.height <= LargestMatrixGridValues();
}

/* The child nearest to one of the four windows, from the children side by side in base's matrix, which
   must be up to date; distances has room for the matrix's distances. */
ChildChoice NearestInMatrix(const CvAMBase& base, CvSize g, const int16_t* scratch, uint32_t* distances)
{
    const ChildMatrix& matrix = *base.matrix;
    ChildChoice choice = {NULL, 0, 0, matrix.freeSlot};
    MatrixDistances(matrix.features, scratch, g.width, distances);
    uint32_t distance = 0;
    const int c = FirstNearest(distances, matrix.features.groups, static_cast<int>(matrix.children.size()),
                               &distance, &choice.shift);
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
            choice.freeSlot = entry;
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

void RebuildChildMatrix(CvAMBase* base, CvSize g)
{
    if (!SearchesAsMatrix(g))
        return;
    if (!base->matrix)
        base->matrix = new ChildMatrix;
    ChildMatrix& matrix = *base->matrix;
    matrix.treeChanges = base->context->treeChanges;
    matrix.children.clear();
    matrix.freeSlot = NULL;
    ForEachEntry(base->children, [&](CvAMBase** entry) {
        if (*entry)
            matrix.children.push_back(*entry);
        else
            matrix.freeSlot = entry;
    });
    const int count = static_cast<int>(matrix.children.size());
    ShapeFeatureMatrix(matrix.features, count, g.width, g.height);
    for (int c = 0; c < count; c++)
        PutMatrixChild(matrix.features, c, matrix.children[static_cast<size_t>(c)]->features);
    matrix.distances.assign(MatrixDistanceCount(matrix.features), 0);
}

size_t SearchDistanceCount(const CvAMBase& base)
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
