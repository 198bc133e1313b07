#pragma once
// Quadfinder's per-frame grey image: what the square search looks at.

#include <opencv2/core/core_c.h>

/* Turns an 8-bit colour frame into the grey image of the square search: grey conversion, then two erosions
   that take each pixel's minimum with its left neighbour. */
void PrepareSquareSearchImage(const IplImage* frame, IplImage* grey);
