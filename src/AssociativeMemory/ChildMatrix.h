#pragma once
// A base's children side by side, for a base whose children have small grids: they are all compared with
// the four shifted windows at once (MatrixDistances) instead of one child at a time.

#include "MatrixDistances.h"

#include <cstdint>
#include <vector>

struct CvAMBase;

/* The children of one base as the batched search reads them; rebuilt whenever the memory's tree changed. */
struct ChildMatrix
{
    uint64_t treeChanges = 0;        /* the context's count of tree changes it was built at */
    std::vector<CvAMBase*> children; /* the non-empty entries, in list order */
    CvAMBase** freeSlot = nullptr;   /* the last empty entry of the list, if any */
    FeatureMatrix features;          /* the children's features side by side */
    std::vector<uint32_t> distances; /* room for the distances of one search */
};
