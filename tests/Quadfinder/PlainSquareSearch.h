#pragma once
// The square search written out step by step with nothing skipped: the yardstick for FindSquares.

#include <opencv2/core/core_c.h>

/* Square search that approximates every contour of every level; same result as FindSquares. */
CvSeq* PlainFindSquares(const IplImage* grey, CvMemStorage* storage);
