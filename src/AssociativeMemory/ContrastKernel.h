#pragma once
// The contrast of image cells against their diagonal neighbours: the arithmetic of every feature value.

#include <cstdint>

/* The contrast of cell sum a against b: v = 32767 - min 32767 / max (0 when max is 0), negative when
   a <= b. */
int16_t Contrast(int32_t a, int32_t b);

/* out[i] = Contrast(a[i], b[i]) for i < n; vectorised where the machine allows. */
void ContrastRow(const int32_t* a, const int32_t* b, int n, int16_t* out);
