#include "CvAssociativeMemory.h"
#include "MemoryTestSupport.h"

#include <gtest/gtest.h>

namespace {

void ExpectRect(const CvRect& r, int x, int y, int w, int h, const char* what)
{
    EXPECT_EQ(r.x, x) << what;
    EXPECT_EQ(r.y, y) << what;
    EXPECT_EQ(r.width, w) << what;
    EXPECT_EQ(r.height, h) << what;
}

} // namespace

TEST(MemoryModel, ConstructionLeavesAnEmptyUncreatedMemory)
{
    CvAssociativeMemory m;
    EXPECT_EQ(m.root, nullptr);
    // Lists of pointers and tracks take the real 64-bit element sizes.
    EXPECT_EQ(m.context.seqPool->elem_size, static_cast<int>(sizeof(CvSeq*)));
    EXPECT_EQ(m.detections->elem_size, static_cast<int>(sizeof(CvAMDetection)));
    EXPECT_EQ(m.tracks->elem_size, static_cast<int>(sizeof(CvAMTrack)));
    EXPECT_EQ(m.tracks->total, 0);
    EXPECT_EQ(m.frameCounter, 0u);
    EXPECT_EQ(m.prunedBaseCount, 0);
    EXPECT_EQ(m.context.baseCount, 0);

    // Releasing a never created memory, twice, changes nothing.
    m.Release();
    m.Release();
    EXPECT_EQ(m.root, nullptr);
    EXPECT_EQ(m.context.baseCount, 0);
}

TEST(MemoryModel, DefaultAreaSizing)
{
    CvAssociativeMemory m;
    m.Create(100, 100, 0);
    const CvAMContext& c = m.context;
    EXPECT_EQ(c.width, 100);
    EXPECT_EQ(c.alignedWidth, 80);
    EXPECT_EQ(c.alignedHeight, 80);
    EXPECT_EQ(c.pow2Width, 64);
    EXPECT_EQ(c.pow2Height, 64);
    EXPECT_EQ(c.maxLevels, 4);
    EXPECT_EQ(c.levels, 3);

    const int grids[] = {1, 3, 7, 15, 31};
    for (int16_t l = 0; l <= 4; l++) {
        EXPECT_EQ(c.GetGridSize(l).width, grids[l]) << "level " << l;
        EXPECT_EQ(c.GetGridSize(l).height, grids[l]) << "level " << l;
    }
    EXPECT_EQ(c.GetGridSize(9).width, 31) << "levels above maxLevels take its grid";

    const int spans[] = {80, 72, 68, 66};
    for (int l = 0; l <= 3; l++) {
        EXPECT_EQ(c.levelSpans[l].width, spans[l]) << "level " << l;
        EXPECT_EQ(c.levelSpans[l].height, spans[l]) << "level " << l;
    }

    EXPECT_EQ(m.stepX, 16);
    EXPECT_EQ(m.stepY, 16);
    EXPECT_EQ(m.gateRadius2, 4608);
    EXPECT_EQ(m.sizeTolerance2, 1250);
    EXPECT_FLOAT_EQ(m.stepX2, 256.0f);
    EXPECT_EQ(CV_MAT_TYPE(m.lowerBound->type), CV_32FC1);
    EXPECT_FLOAT_EQ(m.lowerBound->data.fl[0], -16.0f);
    EXPECT_FLOAT_EQ(m.lowerBound->data.fl[1], -16.0f);
    EXPECT_FLOAT_EQ(m.upperBound->data.fl[0], 16.0f);
    EXPECT_FLOAT_EQ(m.upperBound->data.fl[1], 16.0f);

    EXPECT_FLOAT_EQ(c.scaleX, 1.25f);
    const int widths[] = {100, 90, 85, 82};
    const int margins[] = {5, 2, 1, 0};
    for (int l = 0; l <= 3; l++)
        ExpectRect(c.scanRects[l], margins[l], margins[l], widths[l], widths[l], "scanRects at 100");
    for (int l = 0; l < 3; l++)
        ExpectRect(c.childRects[l], 10, 10, 80, 80, "childRects at 100");

    // Counters of a fresh memory: only the root, with the root's 1 x 1 grid counted.
    EXPECT_EQ(c.baseCount, 1);
    EXPECT_EQ(c.baseIndex, 1u);
    EXPECT_EQ(c.deepestLevel, 0);
    EXPECT_EQ(c.dataSize, 2);
    EXPECT_EQ(c.accessCount, 0u);
    EXPECT_EQ(m.root->index, 1u);
    EXPECT_EQ(m.root->features, nullptr);
    EXPECT_EQ(m.root->children->total, 0);
    EXPECT_EQ(m.root->children->elem_size, static_cast<int>(sizeof(CvAMBase*)));
}

TEST(MemoryModel, SetAreaSizeRescalesOnlyTheAreaTables)
{
    CvAssociativeMemory m;
    m.Create(100, 100, 0);
    const CvAMContext& c = m.context;
    m.SetAreaSize(200, 200);
    EXPECT_FLOAT_EQ(c.scaleX, 2.5f);
    const int widths[] = {200, 180, 170, 165};
    const int margins[] = {10, 5, 2, 0};
    for (int l = 0; l <= 3; l++)
        ExpectRect(c.scanRects[l], margins[l], margins[l], widths[l], widths[l], "scanRects at 200");
    for (int l = 0; l < 3; l++)
        ExpectRect(c.childRects[l], 19, 19, 160, 160, "childRects at 200");
    EXPECT_EQ(c.GetGridSize(3).width, 15);
    EXPECT_EQ(c.levels, 3);

    // Back to the nominal size restores the first tables exactly; a repeat changes nothing.
    m.SetAreaSize(100, 100);
    m.SetAreaSize(100, 100);
    ExpectRect(c.scanRects[0], 5, 5, 100, 100, "scanRects[0] back at 100");
    ExpectRect(c.scanRects[3], 0, 0, 82, 82, "scanRects[3] back at 100");
    ExpectRect(c.childRects[1], 10, 10, 80, 80, "childRects[1] back at 100");
}

TEST(MemoryModel, NarrowTallAreaAndLevelCaps)
{
    CvAssociativeMemory m;
    m.Create(30, 500, 0);
    const CvAMContext& c = m.context;
    EXPECT_EQ(c.width, 40) << "width is raised to the minimum";
    EXPECT_EQ(c.height, 500);
    EXPECT_EQ(c.alignedWidth, 40);
    EXPECT_EQ(c.alignedHeight, 320);
    EXPECT_EQ(c.maxLevels, 3);
    EXPECT_EQ(c.levels, 3) << "m = 40 is not above 40, so the automatic depth is maxLevels";
    const int cols[] = {1, 3, 7, 15};
    const int rows[] = {19, 38, 77, 155};
    for (int16_t l = 0; l <= 3; l++) {
        EXPECT_EQ(c.GetGridSize(l).width, cols[l]) << "level " << l;
        EXPECT_EQ(c.GetGridSize(l).height, rows[l]) << "level " << l;
    }
    EXPECT_EQ(c.dataSize, 1 * 19 * 2);

    m.Create(100, 100, 7);
    EXPECT_EQ(m.context.levels, 4) << "a request above maxLevels is capped";
    EXPECT_EQ(m.context.GetGridSize(m.context.levels).width, 31);
    m.Create(100, 100, 2);
    EXPECT_EQ(m.context.levels, 2);
    m.Create(100, 100, -3);
    EXPECT_EQ(m.context.levels, 3) << "a negative request takes the automatic depth";
}

TEST(MemoryModel, RecreationAndReleaseResetTheCounters)
{
    CvAssociativeMemory m;
    m.Create(100, 100, 0);
    const cv::Mat frame = MakeTexture(320, 240, 7);
    SetFrame(m, frame);
    const int type = 3;
    m.Write(cvRect(40, 40, 100, 100), &type);
    ASSERT_EQ(m.context.baseCount, 4);
    m.frameCounter = 12;

    m.Create(100, 100, 0);
    EXPECT_EQ(m.context.baseCount, 1);
    EXPECT_EQ(m.context.baseIndex, 1u);
    EXPECT_EQ(m.context.dataSize, 2);
    EXPECT_EQ(m.context.deepestLevel, 0);
    EXPECT_EQ(m.context.accessCount, 0u);
    EXPECT_EQ(m.integral, nullptr) << "creation drops the integral image";
    EXPECT_EQ(m.frameCounter, 12u) << "the frame counter keeps counting across re-creation";
    // The three children lists of the deleted bases and the old root's list wait in the pool.
    EXPECT_EQ(m.context.seqPool->total, 4);

    m.Release();
    EXPECT_EQ(m.root, nullptr);
    EXPECT_EQ(m.context.baseCount, 0);
    EXPECT_EQ(m.context.scratch, nullptr);
    EXPECT_EQ(m.upperBound, nullptr);
    EXPECT_EQ(m.context.seqPool->total, 5);
    m.Release();
    EXPECT_EQ(m.context.baseCount, 0);
}

TEST(MemoryModel, ResetEmptiesTheRootAndForgetsItsFreeSlot)
{
    CvAssociativeMemory m;
    m.Create(100, 100, 0);
    const cv::Mat frame = MakeTexture(320, 240, 11);
    SetFrame(m, frame);
    const int type = 1;
    m.Write(cvRect(10, 10, 100, 100), &type);
    m.Write(cvRect(200, 120, 100, 100), &type);
    ASSERT_GT(m.root->children->total, 1);

    // Vacate the first entry and let a search find it, as pruning and a later search would.
    CvAMBase** first = reinterpret_cast<CvAMBase**>(cvGetSeqElem(m.root->children, 0));
    delete *first;
    *first = nullptr;
    CvRect area = cvRect(10, 10, 100, 100);
    CvAMBase* best = nullptr;
    m.root->MatchChildren(m.integral, &area, &best, nullptr);
    ASSERT_EQ(m.root->freeSlot, first);

    CvSeq* oldList = m.root->children;
    const uint64_t indexBefore = m.context.baseIndex;
    const int dataBefore = m.context.dataSize;
    m.root->Reset();
    EXPECT_EQ(m.context.baseCount, 1);
    EXPECT_EQ(m.root->freeSlot, nullptr);
    EXPECT_NE(m.root->children, oldList) << "Reset makes a new list and pools the old one";
    EXPECT_EQ(m.root->children->total, 0);
    EXPECT_EQ(m.root->index, indexBefore + 1);
    EXPECT_EQ(m.context.dataSize, dataBefore + 2);

    // A new child lands in the new list, where the tree can reach it.
    m.Write(cvRect(10, 10, 100, 100), &type);
    EXPECT_EQ(m.root->children->total, 1);
    EXPECT_EQ(static_cast<int>(CollectBases(m.root).size()), m.context.baseCount);
}
