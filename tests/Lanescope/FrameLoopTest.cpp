#include "FrameLoop.h"
#include "GreyPipeline.h"
#include "ReportCapture.h"

#include "ErrorReport.h"

#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <numeric>
#include <string>
#include <vector>

namespace {

TEST(HotKeys, KeysAndPickMode)
{
    CvHotKeyResult r = HandleHotKey(-1, false, 5);
    EXPECT_FALSE(r.quit);
    EXPECT_FALSE(r.pickMode);
    EXPECT_EQ(r.currentType, 5);

    r = HandleHotKey('t', false, 5);
    EXPECT_TRUE(r.pickMode);
    EXPECT_EQ(r.currentType, 5);
    r = HandleHotKey('n', false, 5);
    EXPECT_TRUE(r.pickMode);
    EXPECT_EQ(r.currentType, 6);
    r = HandleHotKey('p', true, 5);
    EXPECT_TRUE(r.pickMode);
    EXPECT_EQ(r.currentType, 4);

    // ESC ends picking first, then the run.
    r = HandleHotKey(27, true, 5);
    EXPECT_FALSE(r.quit);
    EXPECT_FALSE(r.pickMode);
    r = HandleHotKey(27, false, 5);
    EXPECT_TRUE(r.quit);

    // Only the low 8 bits count: modifier bits above them do not hide a key.
    EXPECT_TRUE(HandleHotKey(0x100000 | 27, false, 1).quit);
    EXPECT_TRUE(HandleHotKey(0x10000 | 't', false, 1).pickMode);

    for (int key : {int('T'), int('N'), int('P'), int('x'), 65505, 13}) {
        r = HandleHotKey(key, false, 5);
        EXPECT_FALSE(r.quit) << key;
        EXPECT_FALSE(r.pickMode) << key;
        EXPECT_EQ(r.currentType, 5) << key;
    }
}

TEST(HotKeys, TypeStaysWithinOneTo256)
{
    CvHotKeyResult r = {false, false, 1};
    for (int i = 0; i < 300; i++)
        r = HandleHotKey('n', r.pickMode, r.currentType);
    EXPECT_EQ(r.currentType, 256);
    r = HandleHotKey('p', r.pickMode, 1);
    EXPECT_EQ(r.currentType, 1);
    EXPECT_TRUE(r.pickMode);
}

/* A colour test frame with texture, dark areas (at or below the threshold) and hard edges. */
cv::Mat TestFrame(int width, int height)
{
    cv::Mat frame(height, width, CV_8UC3);
    cv::RNG rng(7);
    rng.fill(frame, cv::RNG::UNIFORM, 0, 256);
    cv::rectangle(frame, cv::Rect(5, 5, width / 3, height / 3), cv::Scalar(3, 8, 4), cv::FILLED);
    cv::rectangle(frame, cv::Rect(width / 2, height / 2, width / 4, height / 4), cv::Scalar(200, 180, 90),
                  cv::FILLED);
    return frame;
}

/* The five steps as OpenCV's own functions make them. */
cv::Mat FiveSteps(const cv::Mat& frame)
{
    cv::Mat expected;
    cv::cvtColor(frame, expected, cv::COLOR_BGR2GRAY);
    cv::threshold(expected, expected, 10.0, 0.0, cv::THRESH_TOZERO);
    cv::equalizeHist(expected, expected);
    cv::erode(expected, expected, cv::Mat::ones(2, 2, CV_8U), cv::Point(0, 0), 1, cv::BORDER_REPLICATE);
    cv::GaussianBlur(expected, expected, cv::Size(5, 5), 5.0, 0.0, cv::BORDER_REPLICATE);
    return expected;
}

TEST(GreyPipeline, MatchesTheFiveStepsWithReplicatedBorders)
{
    cv::Mat frame = TestFrame(97, 61);
    cv::Mat grey(frame.rows, frame.cols, CV_8UC1, cv::Scalar(77));
    IplImage frameIpl = cvIplImage(frame), greyIpl = cvIplImage(grey);
    PrepareGreyImage(&frameIpl, &greyIpl);

    EXPECT_EQ(cv::norm(grey, FiveSteps(frame), cv::NORM_INF), 0.0);

    // A frame that is dark everywhere (10 and below) stays black.
    cv::Mat dark(40, 50, CV_8UC3, cv::Scalar(10, 10, 10));
    IplImage darkIpl = cvIplImage(dark);
    cv::Mat darkGrey(40, 50, CV_8UC1, cv::Scalar(1));
    IplImage darkGreyIpl = cvIplImage(darkGrey);
    PrepareGreyImage(&darkIpl, &darkGreyIpl);
    EXPECT_EQ(cv::countNonZero(darkGrey), 0);
}

TEST(GreyPipeline, MatchesTheFiveStepsOnEveryShapeOfHistogram)
{
    // Grey frames of a few levels in random proportions (one level, dark only, a level and its neighbour,
    // up to twenty) and of every level, from one pixel to more than full HD, where the equalisation's
    // float arithmetic is least exact.
    cv::RNG rng(11);
    for (int k = 0; k < 60; k++) {
        const int width = k == 0 ? 1 : k < 50 ? rng.uniform(1, 700) : 1937;
        const int height = k == 0 ? 1 : k < 50 ? rng.uniform(1, 500) : 1091;
        cv::Mat levels(height, width, CV_8UC1);
        if (k % 10 == 9) {
            rng.fill(levels, cv::RNG::UNIFORM, 0, 256);
        } else {
            const int count = 1 + k % 20;
            std::vector<int> palette, weights;
            for (int i = 0; i < count; i++) {
                palette.push_back(k % 7 == 3 ? rng.uniform(0, 11) : rng.uniform(0, 256));
                weights.push_back(rng.uniform(1, 1000));
            }
            for (uchar& v : cv::Mat_<uchar>(levels)) {
                int pick = rng.uniform(0, std::accumulate(weights.begin(), weights.end(), 0));
                size_t i = 0;
                while (pick >= weights[i])
                    pick -= weights[i++];
                v = static_cast<uchar>(palette[i]);
            }
        }
        if (k == 1) {
            // 36, 2581 and 377 pixels of levels 20, 21 and 22: 2581 x 255 / 2958 rounds to 222 in float
            // arithmetic, as OpenCV's equalisation works, and to 223 in double.
            levels.create(2, 1497, CV_8UC1);
            for (int i = 0; i < 2994; i++)
                levels.data[i] = static_cast<uchar>(i < 36 ? 20 : i < 36 + 2581 ? 21 : 22);
        }
        cv::Mat frame;
        cv::cvtColor(levels, frame, cv::COLOR_GRAY2BGR);
        cv::Mat grey(frame.rows, frame.cols, CV_8UC1);
        IplImage frameIpl = cvIplImage(frame), greyIpl = cvIplImage(grey);
        PrepareGreyImage(&frameIpl, &greyIpl);
        ASSERT_EQ(cv::norm(grey, FiveSteps(frame), cv::NORM_INF), 0.0) << "frame " << k;
    }
}

/* A fresh display state and a fresh memory of the start selection's size, as a run without "am.dat"
   begins. */
class FrameLoop : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        InitLanescopeState(lanescopeState);
        memory.Create(CV_LS_SELECTION_WIDTH, CV_LS_SELECTION_HEIGHT, 0);
    }
    /* Runs ProcessFrame on frame and returns what it drew. */
    cv::Mat Process(const cv::Mat& frame, int type)
    {
        cv::Mat display(frame.size(), CV_8UC3), grey(frame.size(), CV_8UC1);
        IplImage frameIpl = cvIplImage(frame), displayIpl = cvIplImage(display), greyIpl = cvIplImage(grey);
        ProcessFrame(memory, type, &frameIpl, &displayIpl, &greyIpl);
        return display;
    }
    CvAssociativeMemory memory;
};

const cv::Vec3b RED(0, 0, 255), GREEN(0, 255, 0), YELLOW(0, 255, 255);

TEST_F(FrameLoop, TrainingFrameLearnsTheSelectionUnderTheType)
{
    const cv::Mat frame = TestFrame(640, 480);
    lanescopeState.trainingCounter = 1;
    cv::Mat display = Process(frame, 9);
    EXPECT_EQ(lanescopeState.trainingCounter, 0);
    EXPECT_GT(memory.context.baseCount, 1) << "the area was written";
    EXPECT_EQ(display.at<cv::Vec3b>(200, 370), RED) << "left edge of the selection";
    EXPECT_EQ(display.at<cv::Vec3b>(254, 420), RED) << "bottom edge at y + height";
    EXPECT_EQ(display.at<cv::Vec3b>(10, 10), frame.at<cv::Vec3b>(10, 10)) << "the frame was copied";

    int* data = nullptr;
    EXPECT_TRUE(memory.Read(lanescopeState.selection, NULL, &data));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(*data, 9);

    // The next frame is tracked: the step time appears in the top-left corner, nothing is drawn red.
    display = Process(frame, 9);
    EXPECT_NE(display.at<cv::Vec3b>(200, 370), RED);
    cv::Mat top = display(cv::Rect(0, 0, 150, 30));
    cv::Mat green;
    cv::inRange(top, cv::Scalar(0, 255, 0), cv::Scalar(0, 255, 0), green);
    EXPECT_GT(cv::countNonZero(green), 20);
}

TEST_F(FrameLoop, PickModeShowsTheSelectionAndTheTypeLabel)
{
    lanescopeState.pickMode = true;
    lanescopeState.selection.x = 100;
    lanescopeState.selection.y = 50;
    cv::Mat display(480, 640, CV_8UC3, cv::Scalar(90, 90, 90));
    IplImage displayIpl = cvIplImage(display);
    DrawPickSelection(lanescopeState, 42, &displayIpl);
    EXPECT_STREQ(lanescopeState.labelText, "Type42");
    EXPECT_EQ(display.at<cv::Vec3b>(100, 100), GREEN);
    EXPECT_EQ(display.at<cv::Vec3b>(150, 200), GREEN);
    cv::Mat yellow;
    cv::inRange(display(cv::Rect(110, 160, 120, 30)), cv::Scalar(0, 255, 255), cv::Scalar(0, 255, 255),
                yellow);
    EXPECT_GT(cv::countNonZero(yellow), 50);
}

TEST_F(FrameLoop, SelectionOutsideTheFrameIsReportedAndCountedOff)
{
    ReportCapture capture;
    lanescopeState.trainingCounter = 1;
    Process(TestFrame(320, 240), 1);
    EXPECT_EQ(lanescopeState.trainingCounter, 0);
    EXPECT_EQ(memory.context.baseCount, 1) << "only the root";
    ASSERT_EQ(capture.reports.size(), 2u);
    EXPECT_EQ(capture.reports[0].func, "CvAssociativeMemory::Write");
    EXPECT_EQ(capture.reports[0].message, "Incorrect size interest area");
    EXPECT_EQ(capture.reports[1].func, "CvAssociativeMemory::Read");
    EXPECT_EQ(capture.reports[1].message, "Incorrect size of interest area");
}

} // namespace
