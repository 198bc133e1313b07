#include "TrackerHarness.h"

#include <gtest/gtest.h>

#include <map>

namespace {

/* Every window of one scan with the scan settings in force when it was produced. */
struct Window
{
    CvRect rect;
    int stepX, stepY, mergeRadius2;
};

struct WindowLog
{
    CvAssociativeMemory* memory;
    std::vector<Window> windows;
    static void Collect(CvRect rect, void* context)
    {
        WindowLog& log = *static_cast<WindowLog*>(context);
        const CvAMContext& c = log.memory->context;
        log.windows.push_back({rect, c.scanStepX, c.scanStepY, c.mergeRadius2});
    }
};

/* The windows of one scan of a black imageWidth x imageHeight frame by a memory of the given area. */
std::vector<Window> Scan(int area, int imageWidth, int imageHeight)
{
    CvAssociativeMemory am;
    am.Create(area, area, 0);
    cv::Mat image(imageHeight, imageWidth, CV_8UC1, cv::Scalar(0));
    IplImage header = cvIplImage(image);
    am.SetImage(&header);
    WindowLog log = {&am, {}};
    am.ScanImage(CvAMScanFunc{WindowLog::Collect}, &log);
    return log.windows;
}

TEST(ScanImage, DefaultAreaOnVgaVisitsSeventeenScales)
{
    const std::vector<Window> windows = Scan(100, 640, 480);
    std::map<int, int> counts;
    std::map<int, Window> firstOf;
    for (const Window& w : windows) {
        ASSERT_EQ(w.rect.width, w.rect.height);
        if (!counts[w.rect.width]++)
            firstOf[w.rect.width] = w;
        ASSERT_LT(w.rect.x + w.rect.width, 640);
        ASSERT_LT(w.rect.y + w.rect.height, 480);
    }
    ASSERT_EQ(counts.size(), 17u);
    int k = 0;
    for (const auto& [side, first] : firstOf) {
        EXPECT_EQ(side, 75 + 25 * k) << "scale " << k;
        EXPECT_EQ(first.stepX, 14 + 5 * k) << "scale " << k;
        EXPECT_EQ(first.stepY, first.stepX);
        EXPECT_EQ(first.mergeRadius2, 8 * first.stepX * first.stepX);
        k++;
    }
    EXPECT_EQ(counts[75], 1189);
    EXPECT_EQ(counts[100], 580);
    EXPECT_EQ(counts[125], 330);
    EXPECT_EQ(counts[150], 204);
    EXPECT_EQ(firstOf[75].mergeRadius2, 1568);
    EXPECT_EQ(firstOf[100].mergeRadius2, 2888);
    EXPECT_EQ(firstOf[125].mergeRadius2, 4608);
    EXPECT_EQ(firstOf[475].stepX, 94);

    // The 100 px scale: rows outer, x = 0, 19, 38, ... while x < 540.
    std::vector<CvRect> row;
    for (const Window& w : windows)
        if (w.rect.width == 100 && row.size() < 30)
            row.push_back(w.rect);
    EXPECT_EQ(row.back().y, 19); // the 30th window of the scale begins the second row
    row.pop_back();
    ASSERT_EQ(row.size(), 29u);
    for (size_t i = 0; i < row.size(); i++)
        EXPECT_EQ(row[i].x, 19 * static_cast<int>(i));
    EXPECT_EQ(row.back().x, 532);
}

TEST(ScanImage, SmallAreaStepsAndFramesWithoutWindows)
{
    const std::vector<Window> windows = Scan(40, 200, 200);
    ASSERT_FALSE(windows.empty());
    EXPECT_EQ(windows.front().rect.width, 30);
    EXPECT_EQ(windows.front().stepX, 11);
    std::map<int, int> steps;
    for (const Window& w : windows)
        steps[w.rect.width] = w.stepX;
    EXPECT_EQ(steps[40], 15);
    EXPECT_EQ(steps[50], 19);

    // Below three quarters of the area in either direction, and at exactly the window's size, nothing.
    EXPECT_TRUE(Scan(100, 74, 480).empty());
    EXPECT_TRUE(Scan(100, 640, 74).empty());
    EXPECT_TRUE(Scan(100, 75, 75).empty());
    EXPECT_EQ(Scan(100, 76, 76).size(), 1u);
}

TEST(ScanImage, LeavesTheLastScaleAndRefusesWithoutMemoryOrFrame)
{
    CvAssociativeMemory am;
    cv::Mat image(480, 640, CV_8UC1, cv::Scalar(0));
    IplImage header = cvIplImage(image);
    WindowLog log = {&am, {}};
    {
        ReportCapture capture;
        am.ScanImage(CvAMScanFunc{WindowLog::Collect}, &log);
        ASSERT_EQ(capture.reports.size(), 1u);
        EXPECT_EQ(capture.reports[0].status, CV_StsNullPtr);
        EXPECT_EQ(capture.reports[0].func, "CvAssociativeMemory::ScanImage");
        EXPECT_EQ(capture.reports[0].message, "Associative memory is not created");
    }
    EXPECT_TRUE(log.windows.empty());

    // A created memory without a frame (or after Create dropped the integral image): one report, no window.
    am.SetImage(&header);
    am.Create(100, 100, 0);
    {
        ReportCapture capture;
        am.ScanImage(CvAMScanFunc{WindowLog::Collect}, &log);
        ASSERT_EQ(capture.reports.size(), 1u);
        EXPECT_EQ(capture.reports[0].message, "Source image is not set");
    }
    EXPECT_TRUE(log.windows.empty());

    am.SetImage(&header);
    am.ScanImage(CvAMScanFunc{WindowLog::Collect}, &log);
    EXPECT_EQ(am.context.scanRects[0].width, 475);
    EXPECT_EQ(am.context.scanStepX, 94);
    EXPECT_EQ(am.context.mergeRadius2, 70688);
}

/* Calls RecognizeWindow on window with the recorder of hand as event function. */
void Recognize(HandMemory& hand, CvRect window)
{
    RcgAMFunc func = Recorder::Handle;
    CvAMScanContext context = {&hand.am, &func, &hand.recorder};
    RecognizeWindow(window, &context);
}

CvAMDetection Detection(HandMemory& hand, int i)
{
    return *reinterpret_cast<CvAMDetection*>(cvGetSeqElem(hand.am.detections, i));
}

TEST(RecognizeWindow, MergesWindowsOfOneTypeWithinTheRadius)
{
    HandMemory hand(640, 480);
    hand.am.SetAreaSize(75, 75);
    hand.am.context.mergeRadius2 = 1568; // about 39.6 px
    const int bases = hand.am.context.baseCount;

    Recognize(hand, cvRect(100, 100, 75, 75));
    Recognize(hand, cvRect(120, 110, 75, 75)); // 22.4 px away: same detection
    Recognize(hand, cvRect(100, 140, 75, 75)); // 40 px from the first, 36.5 from the mean (110, 105)
    ASSERT_EQ(hand.am.detections->total, 1);
    const std::vector<Event> seen = hand.recorder.Of(CV_AM_RECOGNIZED);
    ASSERT_EQ(seen.size(), 3u);
    const double c = Confidence(2147483647 - 536870911);
    EXPECT_DOUBLE_EQ(seen[0].info.confidence, c);
    EXPECT_EQ(seen[0].info.bases, bases);
    EXPECT_EQ(seen[0].info.userSlot, nullptr);
    EXPECT_EQ(seen[0].type, 1);
    CvAMDetection d = Detection(hand, 0);
    EXPECT_EQ(d.count, 3);
    EXPECT_EQ(d.data, 1);
    int sumX = 0;
    for (const Event& e : seen)
        sumX += e.info.rect.x + (e.info.rect.width >> 1);
    EXPECT_EQ(d.sumX, sumX);
    EXPECT_EQ(d.sumWidth, 3 * seen[0].info.rect.width);
    EXPECT_DOUBLE_EQ(d.sumConfidence, 3 * c);

    // Another type at the very same place starts its own detection.
    hand.Recognise(2000, 7);
    Recognize(hand, cvRect(100, 100, 75, 75));
    ASSERT_EQ(hand.am.detections->total, 2);
    EXPECT_EQ(Detection(hand, 1).data, 7);
    EXPECT_EQ(Detection(hand, 1).count, 1);
    EXPECT_EQ(Detection(hand, 0).count, 3);
}

TEST(RecognizeWindow, FirstMatchingDetectionWinsAndMovedRectsMove)
{
    HandMemory hand(640, 480);
    hand.am.SetAreaSize(75, 75);
    hand.am.context.mergeRadius2 = 3600; // 60 px
    hand.recorder.targets = {cvRect(100, 100, 100, 100), cvRect(200, 100, 100, 100),
                             cvRect(155, 100, 100, 100)};
    for (int i = 0; i < 3; i++)
        Recognize(hand, cvRect(10, 10, 75, 75));
    // The third centre (205, 150) is 55 px from the first and 45 px from the second: the first takes it.
    ASSERT_EQ(hand.am.detections->total, 2);
    CvAMDetection first = Detection(hand, 0), second = Detection(hand, 1);
    EXPECT_EQ(first.count, 2);
    EXPECT_EQ(first.sumX, 150 + 205);
    EXPECT_EQ(first.sumY, 300);
    EXPECT_EQ(first.sumWidth, 200);
    EXPECT_EQ(second.count, 1);
    EXPECT_EQ(second.sumX, 250);
}

/* Moves every recognised window of the 75 px scale to centre (500, 500), of the 100 px scale to
   (545, 500), and of any other scale far away. */
void ByScale(int code, int*, CvAMObjectInfo* info, void*)
{
    if (code != CV_AM_RECOGNIZED)
        return;
    const int side = info->rect.width;
    const int cx = side == 75 ? 500 : side == 100 ? 545 : 5000;
    info->rect = cvRect(cx - side / 2, 500 - side / 2, side, side);
}

TEST(RecognizeWindow, MergesWithTheRadiusOfTheScaleBeingScanned)
{
    // A 130 x 130 frame: 16 windows of 75 px, 4 of 100 px and 1 of 125 px.
    HandMemory hand(130, 130);
    RcgAMFunc func = ByScale;
    CvAMScanContext context = {&hand.am, &func, nullptr};
    hand.am.ScanImage(CvAMScanFunc{RecognizeWindow}, &context);
    // 45 px lies beyond the 75 px scale's radius (39.6) but within the 100 px scale's (53.7).
    ASSERT_EQ(hand.am.detections->total, 2);
    EXPECT_EQ(Detection(hand, 0).count, 20);
    EXPECT_EQ(Detection(hand, 0).sumX, 16 * 500 + 4 * 545);
    EXPECT_EQ(Detection(hand, 1).count, 1);
}

TEST(RecognizeWindow, UnrecognisedAndRefusedWindowsMakeNoDetection)
{
    HandMemory hand(640, 480);
    hand.am.context.mergeRadius2 = 1568;
    hand.Recognise(600);
    const uint64_t accesses = hand.am.context.accessCount;
    Recognize(hand, cvRect(100, 100, 75, 75));
    ASSERT_EQ(hand.recorder.events.size(), 1u);
    EXPECT_EQ(hand.recorder.events[0].code, CV_AM_NOT_RECOGNIZED);
    EXPECT_EQ(hand.recorder.events[0].type, 0); // the root's: the read stops above the base that missed
    EXPECT_DOUBLE_EQ(hand.recorder.events[0].info.confidence, Confidence(644245093)); // 600 (2^30 - 1) / 1000
    EXPECT_EQ(hand.am.detections->total, 0);
    EXPECT_EQ(hand.am.context.accessCount, accesses + 1);

    // A window that Read refuses: Read's one report, no event, no access counted.
    hand.Recognise(2000);
    ReportCapture capture;
    Recognize(hand, cvRect(600, 100, 75, 75));
    ASSERT_EQ(capture.reports.size(), 1u);
    EXPECT_EQ(capture.reports[0].status, CV_BadImageSize);
    EXPECT_EQ(capture.reports[0].func, "CvAssociativeMemory::Read");
    EXPECT_EQ(capture.reports[0].message, "Incorrect size of interest area");
    EXPECT_EQ(hand.recorder.events.size(), 1u);
    EXPECT_EQ(hand.am.detections->total, 0);
    EXPECT_EQ(hand.am.context.accessCount, accesses + 1);
}

} // namespace
