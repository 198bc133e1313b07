#pragma once
// The distance of two feature vectors: the sum of the absolute differences of their int16 values.

#include "KernelDispatch.h"

#include <cstdint>

/* Sum of |a[k] - b[k]| for k < n, accumulated in 64 bits. */
typedef uint64_t AbsDiffSumForm(const int16_t* a, const int16_t* b, int n);

/* The reference form: one value at a time. */
uint64_t AbsDiffSumPlain(const int16_t* a, const int16_t* b, int n);

/* The form of level (its own, or that of the nearest level below that has one). */
AbsDiffSumForm* AbsDiffSumAt(KernelLevel level);

/* The sum at the process's kernel level. */
uint64_t AbsDiffSum(const int16_t* a, const int16_t* b, int n);
