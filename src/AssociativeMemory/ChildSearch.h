#pragma once
// The search of a base's children for the one nearest to an area, in two parts: bringing the base's child
// matrix up to date, which changes the base and is done by the thread that owns the memory, and the search
// itself, which only reads the base, its children and the integral image, so that searches of many areas
// may run side by side.

#include "ChildMatrix.h"
#include "CvAssociativeMemory.h"

#include <cstddef>
#include <cstdint>

/* What the search of one area found. */
struct ChildChoice
{
    CvAMBase* child;     /* the first child of the least distance, or NULL when the base has none */
    uint64_t distance;   /* that least distance */
    int shift;           /* the first of the four windows giving it: bit 0 a cell right, bit 1 a cell down */
    CvAMBase** freeSlot; /* the last empty entry of the children list, or NULL: the base's next free slot */
};

/* Builds base's child matrix afresh from its children, of grid g, when they are searched side by side. */
void RebuildChildMatrix(CvAMBase* base, CvSize g);

/* Whether a recall descent searches base's children: it has some, above the deepest level. */
inline bool SearchesChildren(const CvAMBase& base)
{
    return base.level < base.context->levels && base.children->total != 0;
}

/* Brings base's child matrix up to date with the memory's tree, when its children (of grid g) are searched
   side by side. */
inline void PrepareChildSearch(CvAMBase* base, CvSize g)
{
    if (!base->matrix || base->matrix->treeChanges != base->context->treeChanges)
        RebuildChildMatrix(base, g);
}

/* How many distances the work space of ChooseChild holds for base after PrepareChildSearch. */
size_t SearchDistanceCount(const CvAMBase& base);

/* The child of base nearest to one of the four child-sized windows of area (scanned at base's level, its
   children of grid g), using scratch for the area's features (as large as the context's) and distances
   (SearchDistanceCount values) as work space. base must have been prepared since the tree last changed. */
ChildChoice ChooseChild(const CvAMBase& base, CvSize g, const CvMat* integral, CvRect area, int16_t* scratch,
                        uint32_t* distances);

/* Moves area, scanned with s at the searched base's level, to where choice leads: half a margin in, and a
   whole margin more along the choice's shift when its child matches, that is comes below its threshold.
   True when it matches. */
inline bool FollowChoice(const ChildChoice& choice, CvRect s, CvRect* area)
{
    area->x += s.x >> 1;
    area->y += s.y >> 1;
    if (!choice.child || !(choice.distance < choice.child->threshold))
        return false;
    if (choice.shift & 1)
        area->x += s.x;
    if (choice.shift & 2)
        area->y += s.y;
    return true;
}

/* The match score of a distance d against a threshold t: above 2^30 - 1 exactly when d < t. */
int MatchScore(uint64_t d, uint64_t t);
