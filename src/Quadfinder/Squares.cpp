#include "Squares.h"

#include <opencv2/imgproc/imgproc_c.h>

#include <cmath>
#include <cstdint>

namespace {

// Threshold levels: level 0 is the adaptive one, level l > 0 thresholds at 82 + 12 l (94 ... 154).
const int CV_SQUARE_ADAPTIVE_BLOCK = 17;
const double CV_SQUARE_ADAPTIVE_OFFSET = 2.0;

// Square pixels a square must exceed, and stay below.
const double CV_SQUARE_MIN_AREA = 1000.0;
const double CV_SQUARE_MAX_AREA = 4000.0;

// Largest |cosine| a tested corner may have (strictly less), about 56.6 to 123.4 degrees.
const double CV_SQUARE_MAX_COSINE = 0.55;

// Douglas-Peucker accuracy as a share of the closed contour's perimeter.
const double CV_SQUARE_APPROX_ACCURACY = 0.02;

/* Whether the polygon approximating a contour could still pass the 4-vertex and area tests. */
bool MayHoldSquare(const CvSeq* contour)
{
    // Douglas-Peucker keeps a subset of the contour's points: fewer than 4 points cannot give 4 vertices,
    // and the 4 vertices lie in the contour's bounding box. Seen from any point, each edge of a closed 4-gon
    // spans less than half a turn, so the 4-gon winds at most once round it; its |area| is then at most the
    // area of its convex hull, at most the box's (xmax - xmin)(ymax - ymin) = (width - 1)(height - 1).
    // A box of 1000 or less can never pass area > 1000, so such a contour needs no approximation.
    if (contour->total < 4)
        return false;
    // The contour scanner stores each contour's bounding box in its header; update 0 reads it back.
    CvRect box = cvBoundingRect(const_cast<CvSeq*>(contour), 0);
    return double(int64_t(box.width - 1) * int64_t(box.height - 1)) > CV_SQUARE_MIN_AREA;
}

/* Whether a 4-vertex polygon has the area and the corners of a square. */
bool IsSquare(const CvSeq* polygon)
{
    double area = std::fabs(cvContourArea(polygon, CV_WHOLE_SEQ, 0));
    if (!(area > CV_SQUARE_MIN_AREA && area < CV_SQUARE_MAX_AREA) || !cvCheckContourConvexity(polygon))
        return false;
    CvPoint v[4];
    for (int i = 0; i < 4; i++)
        v[i] = *reinterpret_cast<CvPoint*>(cvGetSeqElem(polygon, i));
    // The corner at vertex 0 is left untested.
    double s = 0;
    for (int i = 2; i <= 4; i++) {
        double t = std::fabs(CornerCosine(v[i % 4], v[i - 2], v[i - 1]));
        s = t > s ? t : s;
    }
    return s < CV_SQUARE_MAX_COSINE;
}

} // namespace

void BinariseSquareLevel(const IplImage* grey, IplImage* work, int level)
{
    if (level == 0)
        cvAdaptiveThreshold(grey, work, 255, CV_ADAPTIVE_THRESH_MEAN_C, CV_THRESH_BINARY,
                            CV_SQUARE_ADAPTIVE_BLOCK, CV_SQUARE_ADAPTIVE_OFFSET);
    else
        cvThreshold(grey, work, 82 + 12 * level, 255, CV_THRESH_BINARY);
}

double CornerCosine(CvPoint a, CvPoint b, CvPoint c)
{
    double dx1 = a.x - c.x, dy1 = a.y - c.y;
    double dx2 = b.x - c.x, dy2 = b.y - c.y;
    // cos = (d1 . d2) / sqrt(|d1|^2 |d2|^2 + 1e-10)
    return (dx1 * dx2 + dy1 * dy2) / std::sqrt((dx1 * dx1 + dy1 * dy1) * (dx2 * dx2 + dy2 * dy2) + 1e-10);
}

CvSeq* FindSquares(const IplImage* grey, CvMemStorage* storage)
{
    IplImage* work = cvCreateImage(cvGetSize(grey), IPL_DEPTH_8U, 1);
    CvSeq* squares = cvCreateSeq(0, sizeof(CvSeq), sizeof(CvPoint), storage);
    for (int level = 0; level < CV_SQUARE_LEVELS; level++) {
        BinariseSquareLevel(grey, work, level);
        CvSeq* contours = nullptr;
        cvFindContours(work, storage, &contours, sizeof(CvContour), CV_RETR_LIST, CV_CHAIN_APPROX_SIMPLE,
                       cvPoint(0, 0));
        for (CvSeq* contour = contours; contour; contour = contour->h_next) {
            // Most contours of a textured frame are specks that no approximation can make a square of;
            // they are passed over unapproximated, which leaves the result as it would be.
            if (!MayHoldSquare(contour))
                continue;
            double accuracy = CV_SQUARE_APPROX_ACCURACY * cvArcLength(contour, CV_WHOLE_SEQ, 1);
            CvSeq* polygon =
                cvApproxPoly(contour, sizeof(CvContour), storage, CV_POLY_APPROX_DP, accuracy, 0);
            if (polygon->total != 4 || !IsSquare(polygon))
                continue;
            for (int i = 0; i < 4; i++)
                cvSeqPush(squares, cvGetSeqElem(polygon, i));
        }
    }
    cvReleaseImage(&work);
    return squares;
}

void DrawSquares(IplImage* image, const CvSeq* squares)
{
    if (!squares)
        return;
    CvSeqReader reader;
    cvStartReadSeq(squares, &reader, 0);
    // Only whole groups of four are drawn: a reader run past the end would wrap round to the first point.
    for (int i = 0; i + 4 <= squares->total; i += 4) {
        CvPoint corners[4];
        for (int k = 0; k < 4; k++)
            CV_READ_SEQ_ELEM(corners[k], reader);
        CvPoint* outline = corners;
        int count = 4;
        cvPolyLine(image, &outline, &count, 1, 1, cvScalar(0, 255, 0, 0), 3, CV_AA, 0);
    }
}
