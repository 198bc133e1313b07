#include "SquareTestImages.h"

#include "Squares.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc/imgproc_c.h>

#include <algorithm>

std::vector<TestQuad> ReadQuads(const CvSeq* squares)
{
    std::vector<TestQuad> quads(size_t(squares->total / 4));
    for (int i = 0; i < squares->total; i++)
        quads[size_t(i / 4)].v[i % 4] = *reinterpret_cast<const CvPoint*>(cvGetSeqElem(squares, i));
    return quads;
}

std::vector<TestQuad> FindQuads(const cv::Mat& grey)
{
    CvMemStorage* storage = cvCreateMemStorage(0);
    IplImage image = cvIplImage(grey);
    CvSeq* squares = FindSquares(&image, storage);
    EXPECT_EQ(squares->total % 4, 0);
    std::vector<TestQuad> quads = ReadQuads(squares);
    cvReleaseMemStorage(&storage);
    return quads;
}

int CountCopies(const std::vector<TestQuad>& quads, const std::vector<cv::Point>& corners)
{
    auto less = [](const cv::Point& a, const cv::Point& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; };
    std::vector<cv::Point> wanted = corners;
    std::sort(wanted.begin(), wanted.end(), less);
    int copies = 0;
    for (const TestQuad& quad : quads) {
        std::vector<cv::Point> got{quad.v[0], quad.v[1], quad.v[2], quad.v[3]};
        std::sort(got.begin(), got.end(), less);
        copies += got == wanted;
    }
    return copies;
}

std::vector<std::vector<cv::Point>> ApproximatedPolygons(const cv::Mat& binary)
{
    cv::Mat work = binary.clone();
    IplImage image = cvIplImage(work);
    CvMemStorage* storage = cvCreateMemStorage(0);
    CvSeq* contours = nullptr;
    cvFindContours(&image, storage, &contours, sizeof(CvContour), CV_RETR_LIST, CV_CHAIN_APPROX_SIMPLE,
                   cvPoint(0, 0));
    std::vector<std::vector<cv::Point>> polygons;
    for (CvSeq* c = contours; c; c = c->h_next) {
        CvSeq* poly = cvApproxPoly(c, sizeof(CvContour), storage, CV_POLY_APPROX_DP,
                                   0.02 * cvArcLength(c, CV_WHOLE_SEQ, 1), 0);
        std::vector<cv::Point> points;
        for (int i = 0; i < poly->total; i++)
            points.push_back(*reinterpret_cast<CvPoint*>(cvGetSeqElem(poly, i)));
        polygons.push_back(points);
    }
    cvReleaseMemStorage(&storage);
    return polygons;
}
