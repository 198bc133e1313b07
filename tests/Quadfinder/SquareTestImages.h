#pragma once
// Helpers of the square-search tests: the result read back as quadrilaterals, and matching by corners.

#include <opencv2/core.hpp>
#include <opencv2/core/core_c.h>

#include <vector>

/* One square of a FindSquares result: its four vertices in result order. */
struct TestQuad
{
    cv::Point v[4];
};

/* The squares of a result sequence, in result order. */
std::vector<TestQuad> ReadQuads(const CvSeq* squares);

/* Runs FindSquares on an 8-bit grey image and reads back its squares (its point count is checked too). */
std::vector<TestQuad> FindQuads(const cv::Mat& grey);

/* How many quadrilaterals have exactly the given four corners, in any order. */
int CountCopies(const std::vector<TestQuad>& quads, const std::vector<cv::Point>& corners);

/* The polygons that the search's approximation makes of a binary image's contours. */
std::vector<std::vector<cv::Point>> ApproximatedPolygons(const cv::Mat& binary);
