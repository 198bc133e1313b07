// The square search passes over contours that cannot become squares; these tests hold it to the plain
// search that approximates every contour: the same squares, vertices and order on many kinds of frames.

#include "PlainSquareSearch.h"
#include "SquareSearchImage.h"
#include "SquareTestImages.h"
#include "Squares.h"
#include "SyntheticFrames.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>
#include <opencv2/imgproc/imgproc_c.h>

namespace {

/* Compares both searches on one grey frame; returns the number of squares found. */
size_t ExpectSameSquares(const cv::Mat& grey, const std::string& name)
{
    CvMemStorage* storage = cvCreateMemStorage(0);
    IplImage image = cvIplImage(grey);
    std::vector<TestQuad> fast = ReadQuads(FindSquares(&image, storage));
    cvClearMemStorage(storage);
    std::vector<TestQuad> plain = ReadQuads(PlainFindSquares(&image, storage));
    cvReleaseMemStorage(&storage);
    EXPECT_EQ(fast.size(), plain.size()) << name;
    for (size_t i = 0; i < std::min(fast.size(), plain.size()); i++)
        for (int k = 0; k < 4; k++)
            EXPECT_EQ(fast[i].v[k], plain[i].v[k]) << name << " square " << i << " vertex " << k;
    return plain.size();
}

cv::Mat Grey(const cv::Mat& colour)
{
    cv::Mat grey(colour.size(), CV_8UC1);
    IplImage colourImage = cvIplImage(colour), greyImage = cvIplImage(grey);
    PrepareSquareSearchImage(&colourImage, &greyImage);
    return grey;
}

} // namespace

TEST(SquareSearchEquivalence, StreetFrames)
{
    size_t squares = 0;
    for (uint64_t seed = 1; seed <= 6; seed++)
        squares += ExpectSameSquares(Grey(MakeStreetFrame(640, 480, seed)), "street " + std::to_string(seed));
    EXPECT_GT(squares, 6u);
}

TEST(SquareSearchEquivalence, NoiseAtManyGrainSizes)
{
    // Blurred noise makes blobs of every size, many of them with bounding boxes about the area bound.
    cv::RNG rng(20261208);
    for (int i = 0; i < 16; i++) {
        cv::Mat grey(240, 320, CV_8UC1);
        rng.fill(grey, cv::RNG::UNIFORM, 0, 256);
        double sigma = 0.5 * i;
        if (sigma > 0)
            cv::GaussianBlur(grey, grey, cv::Size(), sigma);
        cv::normalize(grey, grey, 0, 255, cv::NORM_MINMAX);
        ExpectSameSquares(grey, "noise sigma " + std::to_string(sigma));
    }
}

TEST(SquareSearchEquivalence, CrowdedQuadrilaterals)
{
    // Many turned and sheared quadrilaterals about the size limits, some touching or overlapping.
    cv::RNG rng(4242);
    size_t squares = 0;
    for (int i = 0; i < 12; i++) {
        cv::Mat grey(240, 320, CV_8UC1, cv::Scalar(rng.uniform(0, 256)));
        for (int k = 0; k < 25; k++) {
            // Every third one upright and unjittered, its area near the lower bound and its box just above.
            bool upright = k % 3 == 0;
            cv::Point2f centre(rng.uniform(0.f, 320.f), rng.uniform(0.f, 240.f));
            cv::Size2f size = upright ? cv::Size2f(float(rng.uniform(28, 40)), float(rng.uniform(28, 40)))
                                      : cv::Size2f(rng.uniform(20.f, 80.f), rng.uniform(10.f, 70.f));
            cv::RotatedRect box(centre, size, upright ? 0.f : rng.uniform(0.f, 180.f));
            cv::Point2f p[4];
            box.points(p);
            std::vector<cv::Point> q;
            for (int v = 0; v < 4; v++) {
                cv::Point2f jitter =
                    upright ? cv::Point2f() : cv::Point2f(rng.uniform(-6.f, 6.f), rng.uniform(-6.f, 6.f));
                q.push_back(cv::Point(p[v] + jitter));
            }
            cv::fillConvexPoly(grey, q, cv::Scalar(rng.uniform(0, 256)),
                               upright || i % 2 ? cv::LINE_8 : cv::LINE_AA);
        }
        squares += ExpectSameSquares(grey, "crowd " + std::to_string(i));
    }
    EXPECT_GT(squares, 12u);
}

TEST(SquareSearchEquivalence, ContourHeadersCarryTheirBoundingBoxes)
{
    // The search reads each contour's box from its header instead of scanning the points again.
    cv::Mat grey = Grey(MakeStreetFrame(640, 480, 99));
    cv::Mat binary;
    cv::adaptiveThreshold(grey, binary, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY, 17, 2.0);
    IplImage image = cvIplImage(binary);
    CvMemStorage* storage = cvCreateMemStorage(0);
    CvSeq* contours = nullptr;
    int count = cvFindContours(&image, storage, &contours, sizeof(CvContour), CV_RETR_LIST,
                               CV_CHAIN_APPROX_SIMPLE, cvPoint(0, 0));
    EXPECT_GT(count, 1000);
    int mismatches = 0;
    for (CvSeq* c = contours; c; c = c->h_next) {
        CvRect stored = cvBoundingRect(c, 0), scanned = cvBoundingRect(c, 1);
        mismatches += stored.x != scanned.x || stored.y != scanned.y || stored.width != scanned.width ||
                      stored.height != scanned.height;
    }
    EXPECT_EQ(mismatches, 0);
    cvReleaseMemStorage(&storage);
}
