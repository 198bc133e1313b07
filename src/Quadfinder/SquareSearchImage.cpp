#include "SquareSearchImage.h"

#include <opencv2/imgproc/imgproc_c.h>

void PrepareSquareSearchImage(const IplImage* frame, IplImage* grey)
{
    cvCvtColor(frame, grey, CV_BGR2GRAY);
    // 2 columns by 1 row anchored at column 1: the pixel and its left neighbour.
    IplConvKernel* element = cvCreateStructuringElementEx(2, 1, 1, 0, CV_SHAPE_RECT, nullptr);
    cvErode(grey, grey, element, 2);
    cvReleaseStructuringElement(&element);
}
