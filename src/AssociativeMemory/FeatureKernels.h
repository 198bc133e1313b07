#pragma once
// The innermost loops of recognition: absolute-difference sums of int16 feature vectors.

#include <cstdint>

/* Sum of |a[k] - b[k]| for k < n, accumulated in 64 bits; vectorised where the machine allows. */
uint64_t AbsDiffSum(const int16_t* a, const int16_t* b, int n);
