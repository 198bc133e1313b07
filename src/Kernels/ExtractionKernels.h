#pragma once
// The arithmetic of feature extraction: the contrast of image cells against their diagonal neighbours, by
// rows of cells or for a whole small grid at once.

#include "KernelDispatch.h"

#include <cstdint>

/* The contrast of cell sum a against b: v = 32767 - min 32767 / max (0 when max is 0), negative when
   a <= b. */
int16_t Contrast(int32_t a, int32_t b);

/* out[i] = Contrast(a[i], b[i]) for i < n. */
typedef void ContrastRowForm(const int32_t* a, const int32_t* b, int n, int16_t* out);

/* The reference form: Contrast of one pair at a time. */
void ContrastRowPlain(const int32_t* a, const int32_t* b, int n, int16_t* out);

/* The form of level (its own, or that of the nearest level below that has one). */
ContrastRowForm* ContrastRowAt(KernelLevel level);

/* The contrasts at the process's kernel level. */
void ContrastRow(const int32_t* a, const int32_t* b, int n, int16_t* out);

/* The largest side, in cells, of a grid that ContrastGrid takes: cols + 1 and rows + 1 at most this. */
const int smallGridCells = 32;

/* How many contrasts the one pass of a cols x rows ContrastGrid forms: every cell of its bands but the
   last, and one dropped after each row, to a whole vector of 4. */
inline int ContrastGridPass(int cols, int rows)
{
    return (rows * (cols + 1) + 3) & ~3;
}

/* How many values the sums of a cols x rows ContrastGrid hold: its (rows + 1) x (cols + 1) cell sums, then
   zeros as far as its pass reads, a band and a cell beyond its last contrast. */
inline int ContrastGridSums(int cols, int rows)
{
    return ContrastGridPass(cols, rows) + cols + 2;
}

/* A small grid's features from its cells' sums, band after band (ContrastGridSums values):
   out[j cols + i] = Contrast(sums[j (cols + 1) + i], sums[(j + 1) (cols + 1) + i + 1]), j < rows, i < cols.
   The contrasts are formed on the bands' stride in one pass and then packed. */
typedef void ContrastGridForm(const int32_t* sums, int cols, int rows, int16_t* out);

/* The reference form: ContrastRowPlain, then one value at a time. */
void ContrastGridPlain(const int32_t* sums, int cols, int rows, int16_t* out);

/* The form of level (its own, or that of the nearest level below that has one). */
ContrastGridForm* ContrastGridAt(KernelLevel level);

/* The grid at the process's kernel level. */
void ContrastGrid(const int32_t* sums, int cols, int rows, int16_t* out);
