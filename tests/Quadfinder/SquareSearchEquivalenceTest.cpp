// The square search passes over contours that cannot become squares; these tests hold it to the plain
// search that approximates every contour: the same squares, vertices and order on many kinds of frames.

#include "PlainSquareSearch.h"
#include "SquareSearchImage.h"
#include "SquareTestImages.h"
#include "Squares.h"
#include "SyntheticFrames.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

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
            cv::Point2f centre(rng.uniform(0.f, 320.f), rng.uniform(0.f, 240.f));
            cv::RotatedRect box(centre, cv::Size2f(rng.uniform(20.f, 80.f), rng.uniform(10.f, 70.f)),
                                rng.uniform(0.f, 180.f));
            cv::Point2f p[4];
            box.points(p);
            std::vector<cv::Point> q;
            for (int v = 0; v < 4; v++)
                q.push_back(cv::Point(p[v] + cv::Point2f(rng.uniform(-6.f, 6.f), rng.uniform(-6.f, 6.f))));
            cv::fillConvexPoly(grey, q, cv::Scalar(rng.uniform(0, 256)), i % 2 ? cv::LINE_AA : cv::LINE_8);
        }
        squares += ExpectSameSquares(grey, "crowd " + std::to_string(i));
    }
    EXPECT_GT(squares, 12u);
}
