#pragma once
// The distances of one child to the four shifted windows of an extraction, all four at once.
//
// A child's features are kept laid out on the stride of the extraction they are compared with, a zero after
// each row and up to a whole number of vectors, so that each shifted window is a plain offset into the
// extraction and no copy of it is made. Summed over the whole layout, a window's distance also counts the
// extraction's values that face those zeros; they are the same for every child and are taken off.

#include "KernelDispatch.h"

#include <cstdint>

/* The length of a cols x rows grid's search layout: rows of cols + 1 values, rounded up to whole vectors
   of 16. */
int SearchLayoutSize(int cols, int rows);

/* Lays out cols x rows features for the search: feature (q, r) at r (cols + 1) + q, zero elsewhere. */
void LayOutForSearch(const int16_t* features, int cols, int rows, int16_t* layout);

/* The four child-sized windows of a (cols + 1) x (rows + 1) extraction, one cell apart: window k starts at
   column k % 2 and row k / 2. The extraction must stay readable for 16 values beyond its end. */
struct ShiftWindows
{
    const int16_t* extraction;
    int stride;          /* cols + 1 */
    int size;            /* the children's SearchLayoutSize */
    uint64_t padding[4]; /* what window k's values facing the layout's zeros add to its sum */
};

/* The windows of the extraction, and what they add over the layout's zeros. */
ShiftWindows FindShiftWindows(const int16_t* extraction, int cols, int rows);

/* d[k] = sum of |feature - value of window k at the feature's place| over the child's features, from its
   search layout, k = 0..3, each accumulated in 64 bits. Gives up and returns false as soon as every d[k]
   must reach limit, so that d[k] >= limit for all k is all that is known then; returns true with the exact
   distances otherwise. Every form gives up at the same points, after each run of 32 layout values. */
typedef bool ShiftDistancesForm(const int16_t* layout, const ShiftWindows& windows, uint64_t limit,
                                uint64_t d[4]);

/* The reference form: one value at a time. */
bool ShiftDistancesPlain(const int16_t* layout, const ShiftWindows& windows, uint64_t limit, uint64_t d[4]);

/* The form of level (its own, or that of the nearest level below that has one). */
ShiftDistancesForm* ShiftDistancesAt(KernelLevel level);

/* The distances at the process's kernel level. */
bool ShiftDistances(const int16_t* layout, const ShiftWindows& windows, uint64_t limit, uint64_t d[4]);
