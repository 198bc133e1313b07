#include "DisplayHandlers.h"
#include "LanescopeState.h"

#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/core/core_c.h>
#include <opencv2/highgui/highgui_c.h>

#include <string>

namespace {

/* A black display image that the handler draws on, seen through both interfaces. */
struct Canvas
{
    cv::Mat mat = cv::Mat::zeros(480, 640, CV_8UC3);
    IplImage ipl = cvIplImage(mat);
    IplImage* image() { return &ipl; }
    cv::Vec3b at(int x, int y) const { return mat.at<cv::Vec3b>(y, x); }
    int Count(cv::Rect area, cv::Vec3b colour) const
    {
        int n = 0;
        for (int y = area.y; y < area.y + area.height; y++)
            for (int x = area.x; x < area.x + area.width; x++)
                n += at(x, y) == colour;
        return n;
    }
    int CountAll(cv::Vec3b colour) const { return Count(cv::Rect(0, 0, mat.cols, mat.rows), colour); }
};

const cv::Vec3b BLUE(255, 0, 0), LIGHT_BLUE(255, 128, 0), CYAN(255, 255, 0), GREEN(0, 255, 0),
    YELLOW(0, 255, 255);

/* Raises one event the way the tracker does, with the track's user data in *userData. */
void Raise(Canvas& canvas, int event, int type, CvRect rect, void** userData)
{
    CvAMObjectInfo info = {rect, 0.5, 3, userData};
    OnTrackingEvent(event, &type, &info, canvas.image());
}

class DisplayHandlers : public ::testing::Test
{
  protected:
    void SetUp() override { InitLanescopeState(lanescopeState); }
    void TearDown() override { operator delete(userData); }
    void* userData = nullptr;
};

TEST_F(DisplayHandlers, RectanglesAndLabelsOfEachEvent)
{
    Canvas canvas;
    Raise(canvas, CV_AM_RECOGNIZED, 1, cvRect(10, 10, 40, 40), nullptr);
    Raise(canvas, CV_AM_RECOGNIZED, 1, cvRect(100, 10, 40, 40), nullptr);
    EXPECT_EQ(canvas.at(10, 30), LIGHT_BLUE) << "left edge of the first recognised window";
    EXPECT_EQ(canvas.at(140, 30), LIGHT_BLUE) << "right edge (x + width) of the second";
    EXPECT_EQ(canvas.at(30, 30), cv::Vec3b(0, 0, 0)) << "inside stays untouched";

    Raise(canvas, CV_AM_LEARNED, 1, cvRect(300, 10, 40, 40), nullptr);
    EXPECT_EQ(canvas.at(300, 30), CYAN);

    // A tracked object without a user slot: box and label only.
    Raise(canvas, CV_AM_TRACKED, 7, cvRect(200, 200, 100, 80), nullptr);
    EXPECT_EQ(canvas.at(200, 240), BLUE);
    EXPECT_EQ(canvas.at(201, 240), BLUE) << "thickness 2";
    EXPECT_EQ(canvas.at(300, 280), BLUE) << "bottom-right corner at (x + width, y + height)";
    EXPECT_STREQ(lanescopeState.labelText, "Type7");
    // The label's baseline is 24 below the box, starting 10 to the right of its left edge.
    EXPECT_GT(canvas.Count(cv::Rect(210, 275, 120, 45), YELLOW), 50);
    EXPECT_EQ(canvas.Count(cv::Rect(0, 0, 640, 270), YELLOW), 0);
    EXPECT_EQ(canvas.Count(cv::Rect(0, 0, 210, 480), YELLOW), 0);
    EXPECT_EQ(canvas.CountAll(GREEN), 0) << "no trajectory without a user slot";

    // Types outside 1..256 (a foreign memory file) are labelled with their number, not read past the table.
    Raise(canvas, CV_AM_TRACKED, 256, cvRect(0, 0, 40, 40), nullptr);
    EXPECT_STREQ(lanescopeState.labelText, "Type256");
    Raise(canvas, CV_AM_TRACKED, 300, cvRect(0, 0, 40, 40), nullptr);
    EXPECT_STREQ(lanescopeState.labelText, "Type300");

    Canvas untouched;
    Raise(untouched, CV_AM_NOT_RECOGNIZED, 1, cvRect(10, 10, 40, 40), nullptr);
    OnTrackingEvent(3, nullptr, nullptr, untouched.image());
    EXPECT_EQ(cv::countNonZero(untouched.mat.reshape(1)), 0);
}

TEST_F(DisplayHandlers, TrajectoryFromTheFourthEventOn)
{
    // The track moves 4 px right per frame along y = 52 (a 4 x 4 box: centre = corner + 2).
    auto rectOf = [](int k) { return cvRect(20 + 4 * k, 50, 4, 4); };
    Canvas canvas;
    Raise(canvas, CV_AM_TRACKED, 1, rectOf(0), &userData);
    ASSERT_NE(userData, nullptr) << "the first event makes the record";
    const CvLanescopeTrajectory* t = static_cast<CvLanescopeTrajectory*>(userData);
    EXPECT_EQ(t->count, 0);
    for (int v : t->points)
        ASSERT_EQ(v, 0);

    for (int k = 1; k <= 2; k++)
        Raise(canvas, CV_AM_TRACKED, 1, rectOf(k), &userData);
    EXPECT_EQ(t->count, 2);
    EXPECT_EQ(t->points[198], 20 + 4 * 2 + 2);
    EXPECT_EQ(t->points[199], 52);
    EXPECT_EQ(t->points[196], 20 + 4 * 1 + 2);
    EXPECT_EQ(canvas.CountAll(CYAN), 0) << "no trajectory before the fourth event";
    EXPECT_EQ(canvas.CountAll(GREEN), 0);

    Raise(canvas, CV_AM_TRACKED, 1, rectOf(3), &userData);
    EXPECT_EQ(t->count, 3);
    EXPECT_GT(canvas.CountAll(CYAN), 0) << "the fourth event draws two segments";
    EXPECT_GT(canvas.Count(cv::Rect(30, 44, 12, 16), GREEN), 0) << "circle around the newest centre (34, 52)";
    // The oldest drawn segment starts at the first centre, (26, 52); nothing lies left of it.
    EXPECT_EQ(canvas.Count(cv::Rect(0, 40, 24, 20), CYAN), 0);
    EXPECT_EQ(canvas.at(28, 52), CYAN);
}

TEST_F(DisplayHandlers, TrajectoryKeepsTheLastHundredCentres)
{
    // Event k (k >= 1) adds centre x = 22 + 5k on y = 52; after 105 events the centres of 5..104 remain.
    auto rectOf = [](int k) { return cvRect(20 + 5 * k, 50, 4, 4); };
    Canvas canvas;
    for (int k = 0; k < 104; k++)
        Raise(canvas, CV_AM_TRACKED, 1, rectOf(k), &userData);
    canvas.mat.setTo(0);
    Raise(canvas, CV_AM_TRACKED, 1, rectOf(104), &userData);
    const CvLanescopeTrajectory* t = static_cast<CvLanescopeTrajectory*>(userData);
    EXPECT_EQ(t->count, 100);
    EXPECT_EQ(t->points[0], 22 + 5 * 5) << "oldest kept centre";
    EXPECT_EQ(t->points[198], 22 + 5 * 104) << "newest centre";

    // 99 segments: every gap between centres 5 and 104 is joined (the last one lies under the circle),
    // the gap from 4 to 5 is not.
    int joined = 0;
    for (int k = 5; k < 103; k++)
        joined += canvas.at(22 + 5 * k + 2, 52) == CYAN;
    EXPECT_EQ(joined, 98);
    EXPECT_NE(canvas.at(22 + 5 * 4 + 2, 52), CYAN);
}

TEST_F(DisplayHandlers, StepTimeText)
{
    Canvas canvas;
    OnTrackingEvent(CV_AM_FRAME_START, nullptr, nullptr, canvas.image());
    OnTrackingEvent(CV_AM_FRAME_END, nullptr, nullptr, canvas.image());
    EXPECT_STREQ(lanescopeState.labelText, "  0.0 ms") << "below 10 ms: two leading spaces";
    EXPECT_GT(canvas.Count(cv::Rect(0, 0, 150, 30), GREEN), 50) << "drawn at (0, 24)";
    EXPECT_EQ(canvas.Count(cv::Rect(0, 30, 640, 450), GREEN), 0);

    // A step that started 123.45 ms ago.
    lanescopeState.startTick = static_cast<double>(cvGetTickCount()) - 123.45 * lanescopeState.ticksPerMs;
    OnTrackingEvent(CV_AM_FRAME_END, nullptr, nullptr, canvas.image());
    const std::string text = lanescopeState.labelText;
    EXPECT_EQ(text.substr(0, 4), "123.") << text;
    EXPECT_EQ(text.substr(text.size() - 3), " ms");
    EXPECT_EQ(text.size(), 8u);

    lanescopeState.startTick = static_cast<double>(cvGetTickCount()) - 12.3 * lanescopeState.ticksPerMs;
    OnTrackingEvent(CV_AM_FRAME_END, nullptr, nullptr, canvas.image());
    EXPECT_EQ(std::string(lanescopeState.labelText).substr(0, 4), " 12.") << lanescopeState.labelText;
}

TEST_F(DisplayHandlers, MouseMovesTheSelectionOnlyWhilePicking)
{
    CvLanescopeState& s = lanescopeState;
    OnSelectionMouse(CV_EVENT_MOUSEMOVE, 10, 20, 0, nullptr);
    OnSelectionMouse(CV_EVENT_LBUTTONDOWN, 10, 20, 0, nullptr);
    EXPECT_EQ(s.selection.x, 370);
    EXPECT_EQ(s.selection.y, 154);
    EXPECT_EQ(s.trainingCounter, 0) << "a click outside pick mode does nothing";
    EXPECT_FALSE(s.pickMode);

    s.pickMode = true;
    OnSelectionMouse(CV_EVENT_MOUSEMOVE, 10, 20, 0, nullptr);
    EXPECT_EQ(s.selection.x, 10);
    EXPECT_EQ(s.selection.y, 20);
    EXPECT_TRUE(s.pickMode);
    OnSelectionMouse(CV_EVENT_RBUTTONDOWN, 30, 40, 0, nullptr);
    EXPECT_EQ(s.selection.x, 30) << "any event moves the corner";
    EXPECT_EQ(s.trainingCounter, 0);
    OnSelectionMouse(CV_EVENT_LBUTTONDOWN, 50, 60, 0, nullptr);
    EXPECT_EQ(s.selection.x, 50);
    EXPECT_EQ(s.selection.y, 60);
    EXPECT_EQ(s.selection.width, 100);
    EXPECT_EQ(s.selection.height, 100);
    EXPECT_EQ(s.trainingCounter, 1);
    EXPECT_FALSE(s.pickMode);
    OnSelectionMouse(CV_EVENT_LBUTTONUP, 70, 80, 0, nullptr);
    EXPECT_EQ(s.selection.x, 50) << "picking ended with the press";
}

} // namespace
