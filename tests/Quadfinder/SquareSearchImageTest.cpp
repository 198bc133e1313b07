// The grey image the square search sees: grey conversion, then each pixel the minimum of itself and its
// two left neighbours (two erosions by a pixel and its left neighbour).

#include "SquareSearchImage.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>

TEST(PrepareSquareSearchImage, GreyThenMinimumOverTheTwoLeftNeighbours)
{
    cv::Mat colour(37, 53, CV_8UC3);
    cv::RNG rng(7);
    rng.fill(colour, cv::RNG::UNIFORM, 0, 256);
    cv::Mat grey(37, 53, CV_8UC1, cv::Scalar(0)), expectedGrey;
    cv::cvtColor(colour, expectedGrey, cv::COLOR_BGR2GRAY);
    IplImage colourImage = cvIplImage(colour), greyImage = cvIplImage(grey);
    PrepareSquareSearchImage(&colourImage, &greyImage);

    int mismatches = 0;
    for (int y = 0; y < grey.rows; y++)
        for (int x = 0; x < grey.cols; x++) {
            // Outside the image on the left counts as no darker.
            uchar expected = expectedGrey.at<uchar>(y, x);
            for (int k = 1; k <= 2 && x - k >= 0; k++)
                expected = std::min(expected, expectedGrey.at<uchar>(y, x - k));
            mismatches += grey.at<uchar>(y, x) != expected;
        }
    EXPECT_EQ(mismatches, 0);

    // The frame itself is not changed.
    cv::Mat before = colour.clone();
    PrepareSquareSearchImage(&colourImage, &greyImage);
    EXPECT_EQ(cv::norm(colour, before, cv::NORM_INF), 0.0);
}
