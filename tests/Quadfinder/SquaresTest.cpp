// Geometry of the square search on grey images drawn here: sizes about the area band, shapes that are
// not squares, the corner bound, repeated finds over the threshold levels, and the drawing.

#include "Squares.h"
#include "SquareTestImages.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>
#include <opencv2/imgproc/imgproc_c.h>

#include <cmath>

namespace {

/* A black 200 x 200 image with one filled upright rectangle of the given corners and grey value. */
cv::Mat RectangleImage(cv::Point topLeft, cv::Point bottomRight, int value = 255)
{
    cv::Mat grey(200, 200, CV_8UC1, cv::Scalar(0));
    cv::rectangle(grey, topLeft, bottomRight, cv::Scalar(value), cv::FILLED);
    return grey;
}

std::vector<cv::Point> Corners(cv::Point a, cv::Point b)
{
    return {a, cv::Point(a.x, b.y), b, cv::Point(b.x, a.y)};
}

/* A black 200 x 200 image with one filled polygon in white. */
cv::Mat PolygonImage(const std::vector<cv::Point>& vertices)
{
    cv::Mat grey(200, 200, CV_8UC1, cv::Scalar(0));
    cv::fillPoly(grey, std::vector<std::vector<cv::Point>>{vertices}, cv::Scalar(255));
    return grey;
}

} // namespace

TEST(CornerCosine, AnglesAndCoincidentPoints)
{
    EXPECT_DOUBLE_EQ(CornerCosine(cvPoint(10, 0), cvPoint(0, 7), cvPoint(0, 0)), 0.0);
    EXPECT_NEAR(CornerCosine(cvPoint(5, 5), cvPoint(9, 5), cvPoint(1, 5)), 1.0, 1e-12);
    EXPECT_NEAR(CornerCosine(cvPoint(-3, 2), cvPoint(5, 2), cvPoint(1, 2)), -1.0, 1e-12);
    // Vertex C is the third argument: 3-4-5 triangle seen from its corners.
    EXPECT_NEAR(CornerCosine(cvPoint(3, 0), cvPoint(0, 4), cvPoint(0, 0)), 0.0, 1e-12);
    EXPECT_NEAR(CornerCosine(cvPoint(0, 0), cvPoint(0, 4), cvPoint(3, 0)), 0.6, 1e-12);
    EXPECT_EQ(CornerCosine(cvPoint(4, 4), cvPoint(9, 1), cvPoint(4, 4)), 0.0);
    EXPECT_EQ(CornerCosine(cvPoint(4, 4), cvPoint(4, 4), cvPoint(4, 4)), 0.0);
}

TEST(FindSquares, AreaBandIsStrictAndCountsTheContourArea)
{
    // A filled n x n square's contour runs through its border pixels' centres: (n - 1)^2 square pixels.
    // White on black, a square stands out at the adaptive level and all six fixed ones.
    cv::Point a(60, 60);
    EXPECT_EQ(CountCopies(FindQuads(RectangleImage(a, {110, 110})), Corners(a, {110, 110})), 7) << "2500";
    EXPECT_EQ(CountCopies(FindQuads(RectangleImage(a, {90, 90})), Corners(a, {90, 90})), 0) << "900";
    EXPECT_EQ(CountCopies(FindQuads(RectangleImage(a, {100, 85})), Corners(a, {100, 85})), 0) << "40 x 25";
    EXPECT_EQ(CountCopies(FindQuads(RectangleImage(a, {137, 73})), Corners(a, {137, 73})), 7) << "77 x 13";
    EXPECT_EQ(CountCopies(FindQuads(RectangleImage(a, {140, 110})), Corners(a, {140, 110})), 0) << "80 x 50";
    EXPECT_EQ(CountCopies(FindQuads(RectangleImage(a, {153, 103})), Corners(a, {153, 103})), 7) << "93 x 43";
    EXPECT_EQ(CountCopies(FindQuads(RectangleImage(a, {130, 130})), Corners(a, {130, 130})), 0) << "4900";
    // Sheared, the same areas have bounding boxes well above them: the band itself must reject them.
    for (cv::Size size : {cv::Size(50, 20), cv::Size(50, 21), cv::Size(80, 50), cv::Size(80, 49)}) {
        std::vector<cv::Point> sheared{
            {60, 60}, {70, 60 + size.height}, {70 + size.width, 60 + size.height}, {60 + size.width, 60}};
        bool inBand = size.area() == 1050 || size.area() == 3920;
        EXPECT_EQ(CountCopies(FindQuads(PolygonImage(sheared)), sheared), inBand ? 7 : 0) << size.area();
    }
}

TEST(FindSquares, CopiesFollowTheLevelsASquareSurvives)
{
    cv::Point a(60, 60), b(110, 110);
    // Grey 120 passes the adaptive level and the thresholds 94, 106 and 118, not 130 and above.
    std::vector<TestQuad> quads = FindQuads(RectangleImage(a, b, 120));
    EXPECT_EQ(quads.size(), 4u);
    EXPECT_EQ(CountCopies(quads, Corners(a, b)), 4);
    // Exactly at a threshold is not above it: 154 passes 94 ... 142.
    EXPECT_EQ(CountCopies(FindQuads(RectangleImage(a, b, 154)), Corners(a, b)), 6);
    EXPECT_EQ(CountCopies(FindQuads(RectangleImage(a, b, 155)), Corners(a, b)), 7);
    // A faint square is left to the adaptive level alone.
    EXPECT_EQ(CountCopies(FindQuads(RectangleImage(a, b, 40)), Corners(a, b)), 1);
}

TEST(FindSquares, RejectsShapesThatAreNotConvexQuadrilaterals)
{
    // Each shape is first seen to approximate to the polygon meant, so that the rejection is the test's.
    std::vector<cv::Point> dart{{50, 50}, {130, 70}, {50, 130}, {80, 85}};
    std::vector<cv::Point> triangle{{50, 50}, {130, 60}, {70, 130}};
    std::vector<cv::Point> pentagon{{100, 50}, {140, 80}, {125, 130}, {75, 130}, {60, 80}};
    for (const auto& shape : {dart, triangle, pentagon}) {
        cv::Mat grey = PolygonImage(shape);
        std::vector<std::vector<cv::Point>> polygons = ApproximatedPolygons(grey);
        ASSERT_EQ(polygons.size(), 1u);
        EXPECT_EQ(polygons[0].size(), shape.size());
        EXPECT_TRUE(FindQuads(grey).empty()) << shape.size() << " vertices";
    }
}

TEST(FindSquares, CornerBoundOnParallelograms)
{
    // Corners of |cos| 27 / sqrt(27^2 + 41^2) = 0.549991 and 29 / sqrt(29^2 + 44^2) = 0.550313; a
    // parallelogram has the same |cos| at every corner. (No integer corner has |cos| exactly 0.55: that
    // would need tan^2 = 279 / 121 to be the square of a rational.)
    std::vector<cv::Point> inside{{60, 60}, {87, 101}, {137, 101}, {110, 60}};
    std::vector<cv::Point> outside{{60, 60}, {89, 104}, {139, 104}, {110, 60}};
    std::vector<TestQuad> found = FindQuads(PolygonImage(inside));
    EXPECT_EQ(found.size(), 7u);
    // Vertices come in the order of the approximation.
    for (const TestQuad& quad : found)
        EXPECT_EQ((std::vector<cv::Point>{quad.v[0], quad.v[1], quad.v[2], quad.v[3]}),
                  ApproximatedPolygons(PolygonImage(inside))[0]);
    ASSERT_EQ(ApproximatedPolygons(PolygonImage(outside)), std::vector<std::vector<cv::Point>>{outside});
    EXPECT_TRUE(FindQuads(PolygonImage(outside)).empty());
}

TEST(FindSquares, CornerAtVertexZeroIsNotTested)
{
    // A kite with a 45 degree tip: the approximation starts at the tip when it points up, so the tip goes
    // untested and the kite is a square; pointing down, the tip is vertex 2 and fails the bound.
    std::vector<cv::Point> up{{100, 50}, {75, 110}, {100, 130}, {125, 110}}, down;
    for (cv::Point p : up)
        down.push_back(cv::Point(p.x, 180 - p.y));
    std::vector<cv::Point> polygon = ApproximatedPolygons(PolygonImage(up))[0];
    ASSERT_EQ(polygon.size(), 4u);
    ASSERT_EQ(polygon[0], cv::Point(100, 50));
    EXPECT_GT(std::fabs(CornerCosine(cvPoint(polygon[1].x, polygon[1].y), cvPoint(polygon[3].x, polygon[3].y),
                                     cvPoint(polygon[0].x, polygon[0].y))),
              0.69);
    EXPECT_EQ(CountCopies(FindQuads(PolygonImage(up)), polygon), 7);
    EXPECT_TRUE(FindQuads(PolygonImage(down)).empty());
}

TEST(FindSquares, ResultOrderAndEmptyFrames)
{
    // Squares level by level: level 0 and 94 find both, 106 ... 154 only the bright one.
    cv::Mat grey(200, 300, CV_8UC1, cv::Scalar(0));
    cv::rectangle(grey, cv::Point(20, 20), cv::Point(70, 70), cv::Scalar(255), cv::FILLED);
    cv::rectangle(grey, cv::Point(150, 40), cv::Point(200, 90), cv::Scalar(100), cv::FILLED);
    std::vector<TestQuad> quads = FindQuads(grey);
    ASSERT_EQ(quads.size(), 9u);
    std::vector<cv::Point> bright = Corners({20, 20}, {70, 70}), dim = Corners({150, 40}, {200, 90});
    for (size_t level = 0; level < 2; level++) {
        std::vector<TestQuad> pair{quads[2 * level], quads[2 * level + 1]};
        EXPECT_EQ(CountCopies(pair, bright), 1) << level;
        EXPECT_EQ(CountCopies(pair, dim), 1) << level;
    }
    for (size_t i = 4; i < quads.size(); i++)
        EXPECT_EQ(CountCopies({quads[i]}, bright), 1) << i;

    EXPECT_TRUE(FindQuads(cv::Mat(480, 640, CV_8UC1, cv::Scalar(128))).empty());
    EXPECT_TRUE(FindQuads(cv::Mat(480, 640, CV_8UC1, cv::Scalar(0))).empty());
}

TEST(DrawSquares, GreenOutlinesWhereTheSquaresAre)
{
    cv::Mat grey = RectangleImage({60, 60}, {110, 110});
    CvMemStorage* storage = cvCreateMemStorage(0);
    IplImage greyImage = cvIplImage(grey);
    CvSeq* squares = FindSquares(&greyImage, storage);
    cv::Mat colour(200, 200, CV_8UC3, cv::Scalar(0, 0, 0));
    IplImage colourImage = cvIplImage(colour);
    DrawSquares(&colourImage, squares);

    cv::Vec3b green(0, 255, 0);
    for (cv::Point p : {cv::Point(85, 60), cv::Point(60, 85), cv::Point(110, 85), cv::Point(85, 110),
                        cv::Point(85, 61), cv::Point(85, 59)})
        EXPECT_EQ(colour.at<cv::Vec3b>(p), green) << p;
    // Nothing but green is drawn, and nothing away from the outline.
    cv::Mat channels[3];
    cv::split(colour, channels);
    EXPECT_EQ(cv::countNonZero(channels[0]) + cv::countNonZero(channels[2]), 0);
    EXPECT_EQ(cv::countNonZero(channels[1](cv::Rect(66, 66, 39, 39))), 0);
    EXPECT_EQ(cv::countNonZero(channels[1](cv::Rect(0, 0, 200, 54))), 0);
    EXPECT_EQ(cv::countNonZero(channels[1](cv::Rect(0, 116, 200, 84))), 0);

    // An empty result draws nothing; a stray point past the last whole square is left alone.
    cvClearMemStorage(storage);
    cv::Mat blank(200, 200, CV_8UC3, cv::Scalar(0, 0, 0));
    IplImage blankImage = cvIplImage(blank);
    DrawSquares(&blankImage, cvCreateSeq(0, sizeof(CvSeq), sizeof(CvPoint), storage));
    DrawSquares(&blankImage, nullptr);
    EXPECT_EQ(cv::countNonZero(blank.reshape(1)), 0);
    CvSeq* partial = cvCreateSeq(0, sizeof(CvSeq), sizeof(CvPoint), storage);
    CvPoint points[5] = {{20, 20}, {20, 60}, {60, 60}, {60, 20}, {180, 180}};
    cvSeqPushMulti(partial, points, 5);
    DrawSquares(&blankImage, partial);
    EXPECT_GT(cv::countNonZero(blank.reshape(1)), 0);
    EXPECT_EQ(blank.at<cv::Vec3b>(150, 150), cv::Vec3b(0, 0, 0));
    cvReleaseMemStorage(&storage);
}

TEST(FindSquares, EverythingLivesInTheCallersStorage)
{
    cv::Mat grey = RectangleImage({60, 60}, {110, 110});
    IplImage image = cvIplImage(grey);
    CvMemStorage* storage = cvCreateMemStorage(0);
    auto blocks = [storage] {
        int n = 0;
        for (CvMemBlock* b = storage->bottom; b; b = b->next)
            n++;
        return n;
    };
    CvSeq* squares = FindSquares(&image, storage);
    EXPECT_EQ(squares->storage, storage);
    EXPECT_EQ(squares->elem_size, int(sizeof(CvPoint)));
    int used = blocks();
    EXPECT_GT(used, 0);
    // Cleared once per frame, the storage serves any number of frames without growing.
    for (int frame = 0; frame < 20; frame++) {
        cvClearMemStorage(storage);
        EXPECT_EQ(FindSquares(&image, storage)->total, 28);
    }
    EXPECT_EQ(blocks(), used);
    cvReleaseMemStorage(&storage);
}
