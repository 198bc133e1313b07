#pragma once
// The arithmetic of feature extraction: the contrast of image cells against their diagonal neighbours, and
// the copy of a grid's contrasts into its feature vector.

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

/* out[j cols + q] = in[j stride + q] for j < rows and q < cols (stride > cols): a grid's rows packed
   together. Writes nothing past out[rows cols - 1] and reads nothing past the last row's end. */
typedef void CopyRowsForm(const int16_t* in, int stride, int cols, int rows, int16_t* out);

/* The reference form: one value at a time. */
void CopyRowsPlain(const int16_t* in, int stride, int cols, int rows, int16_t* out);

/* The form of level (its own, or that of the nearest level below that has one). */
CopyRowsForm* CopyRowsAt(KernelLevel level);

/* The copy at the process's kernel level. */
void CopyRows(const int16_t* in, int stride, int cols, int rows, int16_t* out);
