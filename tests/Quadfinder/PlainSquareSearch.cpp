#include "PlainSquareSearch.h"

#include "Squares.h"

#include <opencv2/imgproc/imgproc_c.h>

#include <cmath>

CvSeq* PlainFindSquares(const IplImage* grey, CvMemStorage* storage)
{
    IplImage* work = cvCreateImage(cvGetSize(grey), IPL_DEPTH_8U, 1);
    CvSeq* squares = cvCreateSeq(0, sizeof(CvSeq), sizeof(CvPoint), storage);
    for (int level = 0; level < 7; level++) {
        if (level == 0)
            cvAdaptiveThreshold(grey, work, 255, CV_ADAPTIVE_THRESH_MEAN_C, CV_THRESH_BINARY, 17, 2.0);
        else
            cvThreshold(grey, work, 82 + 12 * level, 255, CV_THRESH_BINARY);
        CvSeq* contours = nullptr;
        cvFindContours(work, storage, &contours, sizeof(CvContour), CV_RETR_LIST, CV_CHAIN_APPROX_SIMPLE,
                       cvPoint(0, 0));
        for (CvSeq* c = contours; c; c = c->h_next) {
            CvSeq* poly = cvApproxPoly(c, sizeof(CvContour), storage, CV_POLY_APPROX_DP,
                                       0.02 * cvArcLength(c, CV_WHOLE_SEQ, 1), 0);
            double area = std::fabs(cvContourArea(poly, CV_WHOLE_SEQ, 0));
            if (poly->total != 4 || !(area > 1000) || !(area < 4000) || !cvCheckContourConvexity(poly))
                continue;
            double s = 0;
            for (int i = 2; i < 5; i++) {
                double t = std::fabs(CornerCosine(*(CvPoint*)cvGetSeqElem(poly, i),
                                                  *(CvPoint*)cvGetSeqElem(poly, i - 2),
                                                  *(CvPoint*)cvGetSeqElem(poly, i - 1)));
                s = s > t ? s : t;
            }
            if (s < 0.55)
                for (int i = 0; i < 4; i++)
                    cvSeqPush(squares, cvGetSeqElem(poly, i));
        }
    }
    cvReleaseImage(&work);
    return squares;
}
