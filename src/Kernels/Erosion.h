#pragma once
// The grey pipeline's erosion: the least of each 2 x 2 block of pixels.

#include "KernelDispatch.h"

#include <cstdint>

/* out[x] = the least of a[x], a[x + 1], b[x] and b[x + 1] for x < n - 1, and of a[n - 1] and b[n - 1] at the
   last pixel (n >= 1): one row of a 2 x 2 erosion anchored at its top-left pixel, a the row, b the one below,
   the last column repeated past the edge. */
typedef void ErodeRowForm(const uint8_t* a, const uint8_t* b, int n, uint8_t* out);

/* The reference form: one pixel at a time. */
void ErodeRowPlain(const uint8_t* a, const uint8_t* b, int n, uint8_t* out);

/* The form of level (its own, or that of the nearest level below that has one). */
ErodeRowForm* ErodeRowAt(KernelLevel level);

/* The row at the process's kernel level. */
void ErodeRow(const uint8_t* a, const uint8_t* b, int n, uint8_t* out);
