#include "GreyPipeline.h"

#include <opencv2/imgproc/imgproc_c.h>

void PrepareGreyImage(const IplImage* frame, IplImage* grey)
{
    cvCvtColor(frame, grey, CV_BGR2GRAY);
    cvThreshold(grey, grey, 10.0, 0.0, CV_THRESH_TOZERO);
    cvEqualizeHist(grey, grey);
    IplConvKernel* element = cvCreateStructuringElementEx(2, 2, 0, 0, CV_SHAPE_RECT, NULL);
    cvErode(grey, grey, element, 1);
    cvReleaseStructuringElement(&element);
    cvSmooth(grey, grey, CV_GAUSSIAN, 5, 5, 5.0, 0.0);
}
