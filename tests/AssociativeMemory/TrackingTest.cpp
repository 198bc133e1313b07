#include "TrackerHarness.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Recognised windows of the hand memory score 2^31 - 1 - 1000 (2^30 - 1) / 2000.
const double RECOGNISED = Confidence(2147483647 - 536870911);
const CvRect CENTRE = cvRect(270, 190, 100, 100);

/* Windows counted by one scan of a frame of this size. */
int WindowsOf(int imageWidth, int imageHeight)
{
    HandMemory hand(imageWidth, imageHeight);
    hand.Recognise(0);
    hand.Track({});
    return static_cast<int>(hand.recorder.Of(CV_AM_NOT_RECOGNIZED).size());
}

/* A rectangle of the default size centred at (cx, cy). */
CvRect Around(int cx, int cy)
{
    return cvRect(cx - 50, cy - 50, 100, 100);
}

TEST(ObjectTracking, NullEventFunctionIsReportedOnce)
{
    HandMemory hand(640, 480);
    hand.Track({CENTRE});
    const uint64_t accesses = hand.am.context.accessCount;
    ReportCapture capture;
    hand.am.ObjectTracking(nullptr, &hand.recorder, CV_LS_LEARNING, CV_LS_LEARNING_CEILING,
                           CV_LS_ACCEPTANCE_FLOOR);
    ASSERT_EQ(capture.reports.size(), 1u);
    EXPECT_EQ(capture.reports[0].status, CV_StsNullPtr);
    EXPECT_EQ(capture.reports[0].func, "CvAssociativeMemory::ObjectTracking");
    EXPECT_EQ(capture.reports[0].message, "The pointer of RcgAMFunc is NULL");
    EXPECT_EQ(hand.am.frameCounter, 1u);
    EXPECT_EQ(hand.am.context.accessCount, accesses);
    EXPECT_NEAR(hand.Slot(0)->confidence, RECOGNISED / 2, 1e-12);
}

TEST(ObjectTracking, UncreatedMemoryOnlyFramesTheCall)
{
    CvAssociativeMemory am;
    Recorder recorder;
    recorder.memory = &am;
    ReportCapture capture;
    am.ObjectTracking(Recorder::Handle, &recorder, true, CV_LS_LEARNING_CEILING, CV_LS_ACCEPTANCE_FLOOR);
    ASSERT_EQ(capture.reports.size(), 1u);
    EXPECT_EQ(capture.reports[0].message, "Associative memory is not created");
    EXPECT_EQ(recorder.Outline(), std::vector<int>({CV_AM_FRAME_START, CV_AM_FRAME_END}));
    EXPECT_EQ(am.frameCounter, 1u);
    EXPECT_EQ(am.tracks->total, 0);
}

TEST(ObjectTracking, EventOrderWithLearningFromADetection)
{
    HandMemory hand(640, 480);
    const int windows = WindowsOf(640, 480);
    hand.Track({CENTRE}, true);
    const std::vector<int> outline = {CV_AM_FRAME_START, CV_AM_RECOGNIZED, CV_AM_LEARNED, CV_AM_TRACKED,
                                      CV_AM_FRAME_END};
    EXPECT_EQ(hand.recorder.Outline(), outline);
    EXPECT_EQ(static_cast<int>(hand.recorder.Of(CV_AM_RECOGNIZED).size()), windows);

    const Event& start = hand.recorder.events.front();
    const Event& end = hand.recorder.events.back();
    EXPECT_FALSE(start.hasType || start.hasInfo || end.hasType || end.hasInfo);
    EXPECT_EQ(start.frameCounter, 0u);
    EXPECT_EQ(end.frameCounter, 1u);

    // The detection is written at the trained size around its mean centre; the bases grow by the new chain.
    const Event learned = hand.recorder.Of(CV_AM_LEARNED).at(0);
    EXPECT_EQ(learned.type, 1);
    EXPECT_EQ(learned.info.rect.x, 270);
    EXPECT_EQ(learned.info.rect.y, 190);
    EXPECT_EQ(learned.info.rect.width, 100);
    EXPECT_NEAR(learned.info.confidence, RECOGNISED, 1e-12);
    EXPECT_EQ(learned.info.bases, 4);
    EXPECT_EQ(learned.info.userSlot, nullptr);

    const Event tracked = hand.recorder.Of(CV_AM_TRACKED).at(0);
    EXPECT_EQ(tracked.type, 1);
    EXPECT_EQ(tracked.info.rect.x, 270);
    EXPECT_EQ(tracked.info.rect.height, 100);
    EXPECT_NEAR(tracked.info.confidence, RECOGNISED / 2, 1e-12);
    EXPECT_EQ(tracked.info.bases, 4);
    EXPECT_EQ(tracked.info.userSlot, reinterpret_cast<void**>(&hand.Slot(0)->userData));
}

TEST(ObjectTracking, ReDetectionLearnsAndUpdatesWhenAsked)
{
    HandMemory hand(640, 480);
    const int windows = WindowsOf(640, 480);
    hand.Track({CENTRE});
    const uint64_t accesses = hand.am.context.accessCount;

    // Nothing is recognised now; the track's own reads score 600 (2^30 - 1) / 1000 from a much used base.
    hand.Recognise(600);
    hand.Track({}, true, 0.0, 0.1);
    const std::vector<int> outline = {CV_AM_FRAME_START, CV_AM_NOT_RECOGNIZED, CV_AM_TRACKED, CV_AM_LEARNED,
                                      CV_AM_FRAME_END};
    EXPECT_EQ(hand.recorder.Outline(), outline);
    const Event tracked = hand.recorder.Of(CV_AM_TRACKED).at(0);
    const Event learned = hand.recorder.Of(CV_AM_LEARNED).at(0);
    EXPECT_EQ(learned.info.userSlot, tracked.info.userSlot);
    EXPECT_EQ(learned.info.rect.x, 270); // the first read: no probe scores higher
    EXPECT_EQ(learned.info.rect.y, 190);
    EXPECT_DOUBLE_EQ(learned.info.confidence, Confidence(644245093));
    // The scan, the first read, four probes and the write.
    EXPECT_EQ(hand.am.context.accessCount, accesses + windows + 5 + 1);

    const CvAMTrack* t = hand.Slot(0);
    EXPECT_EQ(t->lastFrame, 1u);
    EXPECT_EQ(t->hits, 1);
    EXPECT_NEAR(t->confidence, RECOGNISED / 4 + Confidence(644245093), 1e-12);
}

TEST(ObjectTracking, WithoutLearningOnlyDetectionsMoveTracksYetReadsAreMade)
{
    HandMemory hand(640, 480);
    const int windows = WindowsOf(640, 480);
    // Four tracks, made one per frame: in the middle, upper left, with its prediction at the right border
    // and with its prediction beyond it.
    for (CvRect target : {CENTRE, Around(100, 100), Around(590, 240), Around(620, 400)})
        hand.Track({target});
    ASSERT_EQ(hand.am.tracks->total, 4);
    hand.Recognise(600);
    const uint64_t accesses = hand.am.context.accessCount;
    ReportCapture capture;
    hand.Track({}, false, 0.0, 0.1);
    EXPECT_TRUE(capture.reports.empty());
    EXPECT_TRUE(hand.recorder.Of(CV_AM_LEARNED).empty());
    // Middle and upper left: five reads each; at x 540 every probe would leave the image: one read;
    // at x 570 the predicted rectangle itself leaves it: none.
    EXPECT_EQ(hand.am.context.accessCount, accesses + windows + 5 + 5 + 1 + 0);
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(hand.Slot(i)->lastFrame, static_cast<uint64_t>(i));
        EXPECT_EQ(hand.Slot(i)->hits, 0);
    }
    EXPECT_EQ(hand.recorder.Of(CV_AM_TRACKED).size(), 4u);
}

// A frame narrower than the area: the scan reads 58 windows of the smallest scale and no track can be
// searched again, so only the test's detections move the tracks. Targets lie outside the frame.
const int NARROW = 99;

TEST(ObjectTracking, CreationDecayAndUpdateOfConfidence)
{
    HandMemory hand(NARROW, 480);
    hand.Track({Around(1000, 1000)});
    ASSERT_EQ(hand.recorder.Of(CV_AM_RECOGNIZED).size(), 58u);
    Event e = hand.recorder.Of(CV_AM_TRACKED).at(0);
    EXPECT_NEAR(e.info.confidence, RECOGNISED / 2, 1e-12);
    EXPECT_EQ(e.info.rect.x, 950);
    EXPECT_EQ(e.info.rect.width, 100);
    EXPECT_EQ(e.info.bases, 2);
    const CvAMTrack* t = hand.Slot(0);
    EXPECT_EQ(t->hits, 0);
    EXPECT_EQ(t->estimateX, 0.0f);

    hand.Recognise(0);
    hand.Track({});
    EXPECT_NEAR(hand.recorder.Of(CV_AM_TRACKED).at(0).info.confidence, RECOGNISED / 4, 1e-12);

    hand.Recognise(4000); // score 2^31 - 1 - 268435455
    hand.Track({Around(1010, 1000)});
    e = hand.recorder.Of(CV_AM_TRACKED).at(0);
    EXPECT_NEAR(e.info.confidence, (RECOGNISED / 4 + Confidence(1879048192)) / 2, 1e-12);
    EXPECT_EQ(e.info.rect.x, 960);
    EXPECT_EQ(t->hits, 1);
    EXPECT_EQ(t->lastFrame, 2u);
    EXPECT_EQ(hand.am.tracks->total, 1);
    // The measurement (8, 0) base-window units pulls the estimate to the right.
    EXPECT_GT(t->estimateX, 0.0f);
}

TEST(ObjectTracking, GatingByTypeAndDistance)
{
    {
        HandMemory hand(NARROW, 480);
        hand.Track({Around(1000, 1000)});
        hand.Recognise(2000, 2);
        hand.Track({Around(1000, 1000)}); // another type, however close: a new track
        ASSERT_EQ(hand.am.tracks->total, 2);
        EXPECT_EQ(hand.Slot(1)->data, 2);
        EXPECT_EQ(hand.Slot(0)->hits, 0);
        hand.Recognise(2000, 1);
        hand.Track({Around(1060, 1000)}); // (60 x 0.8)^2 = 2304 is inside the gate 2949
        EXPECT_EQ(hand.am.tracks->total, 2);
        EXPECT_EQ(hand.Slot(0)->hits, 1);
        EXPECT_EQ(hand.Slot(0)->centreX, 1060);
    }
    {
        HandMemory hand(NARROW, 480);
        hand.Track({Around(1000, 1000)});
        hand.Track({Around(1070, 1000)}); // (70 x 0.8)^2 = 3136 is outside
        ASSERT_EQ(hand.am.tracks->total, 2);
        EXPECT_EQ(hand.Slot(0)->hits, 0);
        EXPECT_EQ(hand.Slot(1)->centreX, 1070);
    }
}

TEST(ObjectTracking, OneDetectionPerTrackPerFrame)
{
    HandMemory hand(NARROW, 480);
    hand.Track({Around(1000, 1000)});
    // Two detections 50 px apart (beyond the merge radius of 39.6), each 25 px from the track.
    hand.Track({Around(1025, 1000), Around(975, 1000)});
    ASSERT_EQ(hand.am.tracks->total, 2);
    EXPECT_EQ(hand.Slot(0)->centreX, 1025);
    EXPECT_EQ(hand.Slot(0)->hits, 1);
    EXPECT_EQ(hand.Slot(1)->centreX, 975);
    EXPECT_EQ(hand.Slot(1)->hits, 0);
    // Both tracks take one detection each in the next frame, in list order of the detections.
    hand.Track({Around(1030, 1000), Around(970, 1000)});
    EXPECT_EQ(hand.Slot(0)->centreX, 1030);
    EXPECT_EQ(hand.Slot(1)->centreX, 970);
    EXPECT_EQ(hand.am.tracks->total, 2);
}

TEST(ObjectTracking, LifetimeDropAndReuseOfTheSlot)
{
    HandMemory hand(NARROW, 480);
    hand.recorder.attachBlocks = true;
    hand.Track({Around(1000, 1000)});
    hand.Track({Around(1004, 1000)}); // updated in the call with frameCounter 1: the filter has moved
    CvAMTrack* t = hand.Slot(0);
    const CvConDensation* filter = t->filter;
    ASSERT_NE(t->userData, nullptr);
    EXPECT_EQ(*static_cast<int*>(t->userData), 0);

    hand.Recognise(0);
    int reported = 0;
    for (int call = 0; call < 50; call++) {
        hand.Track({});
        reported += static_cast<int>(hand.recorder.Of(CV_AM_TRACKED).size());
        ASSERT_EQ(hand.recorder.Of(CV_AM_TRACKED).at(0).block, t->userData);
    }
    EXPECT_EQ(reported, 50);
    EXPECT_EQ(hand.am.frameCounter, 52u);
    hand.Track({}); // 51 calls after the last update: dropped without report, its block freed
    EXPECT_TRUE(hand.recorder.Of(CV_AM_TRACKED).empty());
    EXPECT_EQ(t->active, 0);
    EXPECT_EQ(t->userData, nullptr);
    EXPECT_EQ(t->filter, filter);

    // The next track takes the free slot and its filter, seeded afresh as a new filter would be.
    hand.Recognise(2000, 3);
    hand.Track({Around(500, 500)});
    ASSERT_EQ(hand.am.tracks->total, 1);
    EXPECT_EQ(t->active, 1);
    EXPECT_EQ(t->data, 3);
    EXPECT_EQ(t->hits, 0);
    EXPECT_EQ(t->estimateX, 0.0f);
    EXPECT_EQ(t->filter, filter);
    const Event first = hand.recorder.Of(CV_AM_TRACKED).at(0);
    EXPECT_EQ(first.block, nullptr);
    EXPECT_EQ(*static_cast<int*>(t->userData), 1);
    CvConDensation* fresh = cvCreateConDensation(2, 2, 64);
    cvConDensInitSampleSet(fresh, hand.am.lowerBound, hand.am.upperBound);
    for (int i = 0; i < 64; i++) {
        EXPECT_EQ(t->filter->flSamples[i][0], fresh->flSamples[i][0]);
        EXPECT_EQ(t->filter->flSamples[i][1], fresh->flSamples[i][1]);
        EXPECT_LE(std::abs(t->filter->flSamples[i][0]), 16.0f);
    }
    EXPECT_EQ(t->filter->DynamMatr[0], 1.0f);
    EXPECT_EQ(t->filter->DynamMatr[1], 0.0f);
    EXPECT_EQ(t->filter->DynamMatr[3], 1.0f);
    cvReleaseConDensation(&fresh);
}

TEST(ObjectTracking, ReleaseFreesBlocksOnceAndKeepsTheFrameCounter)
{
    HandMemory hand(NARROW, 480);
    hand.recorder.attachBlocks = true;
    hand.Track({Around(1000, 1000), Around(2000, 1000)});
    ASSERT_EQ(hand.am.tracks->total, 2);
    ASSERT_NE(hand.Slot(1)->userData, nullptr);
    const int bases = hand.am.context.baseCount;

    // Live blocks are freed by Release; a second Release and the destructor find nothing more to free
    // (the sanitizer build turns a second free or a leak into a failure).
    hand.am.Release();
    EXPECT_EQ(hand.am.tracks->total, 0);
    EXPECT_EQ(hand.am.context.baseCount, bases - 2);
    hand.am.Release();
    EXPECT_EQ(hand.am.frameCounter, 1u);

    hand.am.Create(100, 100, 0);
    hand.am.SetImage(&hand.header);
    hand.Track({Around(1000, 1000)});
    EXPECT_EQ(hand.am.frameCounter, 2u);
    ASSERT_EQ(hand.am.tracks->total, 1);
    EXPECT_EQ(hand.Slot(0)->lastFrame, 1u);
    EXPECT_NE(hand.Slot(0)->filter, nullptr);
    EXPECT_EQ(hand.Slot(0)->data, 0); // the fresh root's value
}

} // namespace
