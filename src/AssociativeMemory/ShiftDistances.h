#pragma once
// The innermost loop of the child search: one child's distances to the four shifted windows at once.

#include <cstdint>

/* d[k] = sum of |features[i] - planes[k n + i]| for i < n, k = 0..3, each accumulated in 64 bits; the
   child's features are read once for all four planes. Gives up and returns false as soon as every d[k] has
   reached limit, so that d[k] >= limit for all k is all that is known then; returns true with the exact
   distances otherwise. Vectorised where the machine allows. */
bool ShiftDistances(const int16_t* features, const int16_t* planes, int n, uint64_t limit, uint64_t d[4]);
