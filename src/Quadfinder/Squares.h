#pragma once
// Quadfinder's square search: convex quadrilaterals of moderate size with near-right corners in a grey frame.

#include <opencv2/core/core_c.h>

/* Finds the squares of an 8-bit, 1-channel image at seven threshold levels; returns a sequence of CvPoint
   in storage with the 4 vertices of each square, valid until the storage is cleared. */
CvSeq* FindSquares(const IplImage* grey, CvMemStorage* storage);

/* Number of threshold levels at which the search binarises a frame. */
const int CV_SQUARE_LEVELS = 7;

/* Binarises grey into work at threshold level 0 (adaptive) to CV_SQUARE_LEVELS - 1 (fixed 94 to 154). */
void BinariseSquareLevel(const IplImage* grey, IplImage* work, int level);

/* Cosine of the angle at vertex c between the edges c->a and c->b (0 when two points coincide). */
double CornerCosine(CvPoint a, CvPoint b, CvPoint c);

/* Draws every square of a FindSquares result onto a colour image as a closed green outline. */
void DrawSquares(IplImage* image, const CvSeq* squares);
