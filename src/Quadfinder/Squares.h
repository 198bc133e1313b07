#pragma once
// Quadfinder's square search: convex quadrilaterals of moderate size with near-right corners in a grey frame.

#include <opencv2/core/core_c.h>

/* Finds the squares of an 8-bit, 1-channel image at seven threshold levels; returns a sequence of CvPoint
   in storage with the 4 vertices of each square, valid until the storage is cleared. */
CvSeq* FindSquares(const IplImage* grey, CvMemStorage* storage);

/* Cosine of the angle at vertex c between the edges c->a and c->b (0 when two points coincide). */
double CornerCosine(CvPoint a, CvPoint b, CvPoint c);

/* Draws every square of a FindSquares result onto a colour image as a closed green outline. */
void DrawSquares(IplImage* image, const CvSeq* squares);
