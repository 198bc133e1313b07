#pragma once
// The innermost loop of the child search: one child's distances to the four shifted windows at once.

#include <cstdint>

/* d[k] = sum of |features[i] - planes[k n + i]| for i < n, k = 0..3, each accumulated in 64 bits; the
   child's features are read once for all four planes. Vectorised where the machine allows. */
void ShiftDistances(const int16_t* features, const int16_t* planes, int n, uint64_t d[4]);
