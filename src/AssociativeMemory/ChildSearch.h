#pragma once
// The search of a base's children for the one nearest to an area, in two parts: bringing the base's child
// matrix up to date, which changes the base and is done by the thread that owns the memory, and the search
// itself, which only reads the base, its children and the integral image, so that searches of many areas
// may run side by side; then where the choice leads the area, and its score.

#include "ChildMatrix.h"
#include "CvAssociativeMemory.h"

#include <cstddef>
#include <cstdint>
#include <limits>

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
inline int MatchScore(uint64_t d, uint64_t t)
{
    // A uniform area read against a uniform base has d = t = 0: no match, and the lowest score.
    if (d == 0 && t == 0)
        return 0;
    // d >= t: score = t C / d; else score = 2147483647 - d C / t, with C = 2^30 - 1
    if (d >= t)
        return static_cast<int>(MulDiv(t, CV_AM_SCORE_HALF, d));
    return CV_AM_SCORE_MAX - static_cast<int>(MulDiv(d, CV_AM_SCORE_HALF, t));
}
