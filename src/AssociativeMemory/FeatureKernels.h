#pragma once
// The innermost loops of recognition: absolute-difference sums of int16 feature vectors.

#include <cstdint>

/* Sum of |a[k] - b[k]| for k < n, accumulated in 64 bits; vectorised where the machine allows. */
uint64_t AbsDiffSum(const int16_t* a, const int16_t* b, int n);

/* Copies the four child-sized windows of a (cols + 1) x (rows + 1) extraction into four contiguous
   cols x rows planes, in shift order (0,0), (1,0), (0,1), (1,1). */
void BuildShiftPlanes(const int16_t* extraction, int cols, int rows, int16_t* planes);
