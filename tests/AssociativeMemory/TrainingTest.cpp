#include "CvAssociativeMemory.h"
#include "MemoryTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

/* A created default memory looking at a textured 320 x 240 frame. */
struct TrainedScene
{
    CvAssociativeMemory memory;
    cv::Mat frame = MakeTexture(320, 240, 17);

    TrainedScene()
    {
        memory.Create(100, 100, 0);
        SetFrame(memory, frame);
    }
};

/* The bases on the path from the root to the leaf, following the only child at each level. */
std::vector<CvAMBase*> OnlyPath(CvAMBase* root)
{
    std::vector<CvAMBase*> path{root};
    while (root->children && root->children->total == 1) {
        root = Entries(root)[0];
        path.push_back(root);
    }
    return path;
}

} // namespace

TEST(Training, FirstWriteBuildsOneBasePerLevel)
{
    TrainedScene s;
    CvAssociativeMemory& m = s.memory;
    const int type = 42;
    m.Write(cvRect(100, 60, 100, 100), &type);
    EXPECT_EQ(m.context.baseCount, 4);
    EXPECT_EQ(m.context.baseIndex, 4u);
    EXPECT_EQ(m.context.deepestLevel, 3);
    EXPECT_EQ(m.context.dataSize, 568);
    EXPECT_EQ(m.context.accessCount, 1u);
    EXPECT_EQ(m.root->data, 42);

    const std::vector<CvAMBase*> path = OnlyPath(m.root);
    ASSERT_EQ(path.size(), 4u);
    for (int level = 1; level <= 3; level++) {
        EXPECT_EQ(path[level]->level, level);
        EXPECT_EQ(path[level]->hits, 1u);
        EXPECT_EQ(path[level]->data, 42);
        EXPECT_EQ(path[level]->index, static_cast<uint64_t>(level + 1));
        EXPECT_GT(path[level]->threshold, 0u);
    }

    // Reading the trained area recognises it and reports the leaf.
    CvRect found = cvRect(0, 0, 0, 0);
    int* data = nullptr;
    uint64_t index = 0, hits = 0;
    double probability = -1;
    EXPECT_TRUE(m.Read(cvRect(100, 60, 100, 100), &found, &data, &index, &hits, &probability));
    EXPECT_EQ(data, &path[3]->data);
    EXPECT_EQ(index, 4u);
    EXPECT_EQ(hits, 2u) << "the leaf reports its hits after this read counted";
    EXPECT_GT(probability, 0.5);
    EXPECT_LE(probability, 1.0);
    EXPECT_EQ(found.width, 85) << "the size scanned for children of level 2";
    EXPECT_EQ(m.context.accessCount, 2u);
    for (int level = 1; level <= 3; level++)
        EXPECT_EQ(path[level]->hits, 2u);
}

TEST(Training, RewritingAMatchedPathRelabelsIt)
{
    TrainedScene s;
    CvAssociativeMemory& m = s.memory;
    const int first = 1, second = 7;
    m.Write(cvRect(100, 60, 100, 100), &first);
    m.Write(cvRect(100, 60, 100, 100), &second);
    EXPECT_EQ(m.context.baseCount, 4) << "a matching path gains no bases";
    EXPECT_EQ(m.root->data, 7);
    for (CvAMBase* base : OnlyPath(m.root)) {
        EXPECT_EQ(base->data, 7);
        EXPECT_EQ(base->hits, base == m.root ? 0u : 2u);
    }

    // Another object: the path branches below the first miss and builds a fresh chain to the bottom.
    const int third = 9;
    m.Write(cvRect(10, 120, 100, 100), &third);
    EXPECT_EQ(m.root->data, 9);
    const std::vector<CvAMBase*> all = CollectBases(m.root);
    EXPECT_EQ(static_cast<int>(all.size()), m.context.baseCount);
    int newBases = 0;
    for (CvAMBase* base : all)
        if (base->index > 4) {
            newBases++;
            EXPECT_EQ(base->hits, 1u);
            EXPECT_EQ(base->data, 9);
        }
    EXPECT_EQ(newBases, m.context.baseCount - 4);
    EXPECT_GE(newBases, 1);
    int* data = nullptr;
    EXPECT_TRUE(m.Read(cvRect(10, 120, 100, 100), nullptr, &data));
    EXPECT_EQ(*data, 9);
    EXPECT_TRUE(m.Read(cvRect(100, 60, 100, 100), nullptr, &data));
    EXPECT_EQ(*data, 7);
}

TEST(Training, ReadOfAnEmptyOrPrunedRoot)
{
    TrainedScene s;
    CvAssociativeMemory& m = s.memory;
    m.root->data = 5;
    int* data = nullptr;
    uint64_t index = 0, hits = 99;
    double probability = -1;
    CvRect found;
    EXPECT_TRUE(m.Read(cvRect(20, 30, 100, 100), &found, &data, &index, &hits, &probability));
    EXPECT_EQ(data, &m.root->data);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(hits, 0u);
    EXPECT_EQ(probability, 0.0);
    EXPECT_EQ(found.x, 20) << "no level searched: the input area comes back";
    EXPECT_EQ(found.width, 100);

    // Every base used fewer than 8 times: pruning leaves the root with one null entry.
    const int type = 2;
    m.Write(cvRect(100, 60, 100, 100), &type);
    m.root->Prune();
    EXPECT_EQ(m.context.baseCount, 1);
    ASSERT_EQ(m.root->children->total, 1);
    EXPECT_EQ(Entries(m.root)[0], nullptr);
    probability = -1;
    EXPECT_FALSE(m.Read(cvRect(100, 60, 100, 100), &found, &data, &index, &hits, &probability));
    EXPECT_EQ(m.context.matched, 0);
    EXPECT_EQ(data, &m.root->data);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(probability, 0.0);

    // The vacated entry takes the next trained child.
    m.Write(cvRect(100, 60, 100, 100), &type);
    EXPECT_EQ(m.root->children->total, 1);
    EXPECT_NE(Entries(m.root)[0], nullptr);
    EXPECT_EQ(m.context.baseCount, 4);
}

TEST(Training, StoppingAndCountAllReads)
{
    TrainedScene s;
    CvAssociativeMemory& m = s.memory;
    const int type = 3;
    m.Write(cvRect(100, 60, 100, 100), &type);
    const std::vector<CvAMBase*> path = OnlyPath(m.root);
    ASSERT_EQ(path.size(), 4u);

    // Another texture misses at level 1: the stopping read counts nothing and reports the root.
    const cv::Mat other = MakeTexture(320, 240, 1234);
    SetFrame(m, other);
    int* data = nullptr;
    uint64_t index = 0;
    int unmatchedLevel1 = 0;
    EXPECT_FALSE(m.Read(cvRect(100, 60, 100, 100), nullptr, &data, &index));
    if (data == &m.root->data) {
        unmatchedLevel1 = 1;
        EXPECT_EQ(index, 1u);
    }
    ASSERT_EQ(unmatchedLevel1, 1) << "the other texture should already miss at level 1";
    EXPECT_EQ(path[1]->hits, 1u);

    // countAll follows the closest children to the bottom and counts every base on the way.
    double probability = -1;
    CvRect found;
    EXPECT_FALSE(m.Read(cvRect(100, 60, 100, 100), &found, &data, &index, nullptr, &probability, true));
    EXPECT_EQ(data, &path[3]->data);
    EXPECT_EQ(index, path[3]->index);
    for (int level = 1; level <= 3; level++)
        EXPECT_EQ(path[level]->hits, 2u) << "level " << level;
    EXPECT_GE(probability, 0.0);
    EXPECT_EQ(found.width, 85);
}

TEST(Training, PruningForgetsRarelyUsedBases)
{
    TrainedScene s;
    CvAssociativeMemory& m = s.memory;
    const int a = 1, b = 2;
    m.Write(cvRect(100, 60, 100, 100), &a);
    m.Write(cvRect(10, 120, 100, 100), &b);
    ASSERT_EQ(m.root->children->total, 2) << "two objects that differ at level 1";
    const std::vector<CvAMBase*> first = OnlyPath(Entries(m.root)[0]);
    const std::vector<CvAMBase*> second = OnlyPath(Entries(m.root)[1]);
    ASSERT_EQ(first.size(), 3u);
    ASSERT_EQ(second.size(), 3u);

    // First branch: 8 hits everywhere stays. Second: 8 at levels 1 and 2 but its leaf has 7, so the
    // leaf goes and then the two bases above it, which are left without leaves.
    for (CvAMBase* base : first)
        base->hits = 8;
    second[0]->hits = 8;
    second[1]->hits = 8;
    second[2]->hits = 7;
    m.root->Prune();
    EXPECT_EQ(m.context.baseCount, 4);
    const std::vector<CvAMBase*> entries = Entries(m.root);
    ASSERT_EQ(entries.size(), 2u) << "entries are nulled, never removed";
    EXPECT_EQ(entries[0], first[0]);
    EXPECT_EQ(entries[1], nullptr);
    EXPECT_EQ(first[2]->hits, 8u);
    EXPECT_EQ(m.context.dataSize, 2 + 2 * 566) << "deleting bases never lowers dataSize";
}

TEST(Training, AccessStepPrunesOnlyAtItsPeriodAndOnlyAfterChanges)
{
    TrainedScene s;
    CvAssociativeMemory& m = s.memory;
    const int type = 4;
    m.Write(cvRect(100, 60, 100, 100), &type);
    ASSERT_EQ(m.context.baseCount, 4);
    EXPECT_EQ(m.prunedBaseCount, 0);

    // Not at a multiple of the period: nothing happens although every base has few hits.
    m.context.accessCount = CV_AM_PRUNE_PERIOD - 2;
    m.Read(cvRect(100, 60, 100, 100));
    EXPECT_EQ(m.context.baseCount, 4);
    // The access that reaches the period prunes and remembers the count. The data address it hands out
    // must outlive the pass, which deletes the very base it was read from.
    int* data = NULL;
    m.Read(cvRect(100, 60, 100, 100), NULL, &data);
    ASSERT_TRUE(data != NULL);
    EXPECT_EQ(*data, type);
    EXPECT_EQ(m.context.accessCount, CV_AM_PRUNE_PERIOD);
    EXPECT_EQ(m.context.baseCount, 1);
    EXPECT_EQ(m.prunedBaseCount, 1);

    // A Write counts as an access too. With the count unchanged since the last pass, the next period
    // does not prune, even though the new bases are rarely used.
    m.Write(cvRect(100, 60, 100, 100), &type);
    ASSERT_EQ(m.context.baseCount, 4);
    m.prunedBaseCount = 4;
    m.context.accessCount = 2 * CV_AM_PRUNE_PERIOD - 1;
    m.Write(cvRect(100, 60, 100, 100), &type);
    EXPECT_EQ(m.context.accessCount, 2 * CV_AM_PRUNE_PERIOD);
    EXPECT_EQ(m.context.baseCount, 4);
    m.prunedBaseCount = 3;
    m.context.accessCount = 3 * CV_AM_PRUNE_PERIOD - 1;
    m.Read(cvRect(100, 60, 100, 100));
    EXPECT_EQ(m.context.baseCount, 1);
    EXPECT_EQ(m.prunedBaseCount, 1);
}

TEST(Training, HitsSaturate)
{
    TrainedScene s;
    CvAssociativeMemory& m = s.memory;
    const int type = 4;
    m.Write(cvRect(100, 60, 100, 100), &type);
    for (CvAMBase* base : OnlyPath(m.root))
        base->hits = ~0ull;
    uint64_t hits = 0;
    m.Read(cvRect(100, 60, 100, 100), nullptr, nullptr, nullptr, &hits, nullptr, true);
    EXPECT_EQ(hits, ~0ull);
    m.Write(cvRect(100, 60, 100, 100), &type);
    for (CvAMBase* base : OnlyPath(m.root))
        EXPECT_EQ(base->hits, base == m.root ? 0u : ~0ull);
}

TEST(Training, AreaSizesOtherThanTheLastRescaleFirst)
{
    TrainedScene s;
    CvAssociativeMemory& m = s.memory;
    const int type = 6;
    m.Write(cvRect(100, 60, 100, 100), &type);
    CvRect found;
    m.Read(cvRect(60, 40, 160, 160), &found, nullptr, nullptr, nullptr, nullptr, true);
    EXPECT_EQ(m.context.scanRects[0].width, 160);
    EXPECT_EQ(m.context.scanRects[1].width, 144);
    EXPECT_EQ(found.width, 136) << "the stored grids compare with areas of any size, down to the leaf";
    EXPECT_EQ(m.root->gridWidth, 1);
    for (CvAMBase* base : OnlyPath(m.root))
        EXPECT_EQ(base->gridWidth, m.context.GetGridSize(base->level).width);
}

TEST(TrainingErrors, EveryRefusalIsReportedAndChangesNothing)
{
    TrainedScene s;
    CvAssociativeMemory& m = s.memory;
    const int type = 8;
    m.Write(cvRect(100, 60, 100, 100), &type);
    const int basesBefore = m.context.baseCount;
    const uint64_t accessBefore = m.context.accessCount;
    const uint64_t hitsBefore = OnlyPath(m.root)[3]->hits;

    struct Case
    {
        const char* name;
        bool write;
        CvRect area;
        const int* data;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"write right of the image", true, cvRect(221, 10, 100, 100), &type, -10,
         "Incorrect size interest area"},
        {"write below the image", true, cvRect(10, 141, 100, 100), &type, -10,
         "Incorrect size interest area"},
        {"write left of the image", true, cvRect(-1, 10, 100, 100), &type, -10,
         "Incorrect size interest area"},
        {"write of zero width", true, cvRect(10, 10, 0, 100), &type, -10, "Incorrect size interest area"},
        {"write of negative height", true, cvRect(10, 10, 100, -5), &type, -10,
         "Incorrect size interest area"},
        {"write without data", true, cvRect(10, 10, 100, 100), nullptr, -27, "NULL apData pointer"},
        {"read right of the image", false, cvRect(221, 10, 100, 100), nullptr, -10,
         "Incorrect size of interest area"},
        {"read above the image", false, cvRect(10, -3, 100, 100), nullptr, -10,
         "Incorrect size of interest area"},
        {"read of negative width", false, cvRect(10, 10, -100, 100), nullptr, -10,
         "Incorrect size of interest area"},
        {"read of zero height", false, cvRect(10, 10, 100, 0), nullptr, -10,
         "Incorrect size of interest area"},
    };
    for (const Case& c : cases) {
        ReportCapture capture;
        CvRect found = cvRect(-7, -7, -7, -7);
        int* data = nullptr;
        uint64_t index = 77, hits = 77;
        double probability = -7;
        bool result = true;
        if (c.write)
            m.Write(c.area, c.data);
        else
            result = m.Read(c.area, &found, &data, &index, &hits, &probability, true);
        ASSERT_EQ(capture.reports.size(), 1u) << c.name;
        EXPECT_EQ(capture.reports[0].status, c.status) << c.name;
        EXPECT_EQ(capture.reports[0].func,
                  c.write ? "CvAssociativeMemory::Write" : "CvAssociativeMemory::Read")
            << c.name;
        EXPECT_EQ(capture.reports[0].message, c.message) << c.name;
        if (!c.write) {
            EXPECT_FALSE(result) << c.name;
        }
        EXPECT_EQ(found.x, -7) << c.name;
        EXPECT_EQ(data, nullptr) << c.name;
        EXPECT_EQ(index, 77u) << c.name;
        EXPECT_EQ(probability, -7) << c.name;
        EXPECT_EQ(m.context.baseCount, basesBefore) << c.name;
        EXPECT_EQ(m.context.accessCount, accessBefore) << c.name;
        EXPECT_EQ(m.context.scanRects[0].width, 100) << c.name << ": no rescaling either";
        EXPECT_EQ(OnlyPath(m.root)[3]->hits, hitsBefore) << c.name;
    }

    // Right and bottom edges exactly on the image's edges are inside.
    ReportCapture capture;
    m.Read(cvRect(220, 140, 100, 100));
    m.Write(cvRect(220, 140, 100, 100), &type);
    EXPECT_TRUE(capture.reports.empty());
}

TEST(TrainingErrors, MissingMemoryOrSource)
{
    const int type = 1;
    const cv::Mat frame = MakeTexture(320, 240, 2);
    {
        // Created but never shown a frame: every area lies outside the empty source.
        CvAssociativeMemory m;
        m.Create(100, 100, 0);
        ReportCapture capture;
        m.Write(cvRect(0, 0, 100, 100), &type);
        ASSERT_EQ(capture.reports.size(), 1u);
        EXPECT_EQ(capture.reports[0].message, "Incorrect size interest area");
    }
    {
        // A frame but no created memory.
        CvAssociativeMemory m;
        SetFrame(m, frame);
        ReportCapture capture;
        m.Write(cvRect(0, 0, 100, 100), &type);
        EXPECT_FALSE(m.Read(cvRect(0, 0, 100, 100)));
        ASSERT_EQ(capture.reports.size(), 2u);
        EXPECT_EQ(capture.reports[0].status, -27);
        EXPECT_EQ(capture.reports[0].message, "Associative memory is not created");
        EXPECT_EQ(capture.reports[1].func, "CvAssociativeMemory::Read");
        EXPECT_EQ(capture.reports[1].message, "Associative memory is not created");
    }
    {
        // Re-creation and release drop the integral image: the frame must be given again.
        CvAssociativeMemory m;
        m.Create(100, 100, 0);
        SetFrame(m, frame);
        m.Create(100, 100, 0);
        ReportCapture capture;
        m.Write(cvRect(0, 0, 100, 100), &type);
        EXPECT_FALSE(m.Read(cvRect(0, 0, 100, 100)));
        ASSERT_EQ(capture.reports.size(), 2u);
        EXPECT_EQ(capture.reports[0].status, -27);
        EXPECT_EQ(capture.reports[0].func, "CvAssociativeMemory::Write");
        EXPECT_EQ(capture.reports[0].message, "Source image is not set");
        EXPECT_EQ(capture.reports[1].message, "Source image is not set");
        EXPECT_EQ(m.context.baseCount, 1);
        EXPECT_EQ(m.context.accessCount, 0u);

        SetFrame(m, frame);
        m.Write(cvRect(0, 0, 100, 100), &type);
        EXPECT_EQ(m.context.baseCount, 4);
        m.Release();
        m.Create(100, 100, 0);
        m.Write(cvRect(0, 0, 100, 100), &type);
        EXPECT_EQ(capture.reports.size(), 3u);
        EXPECT_EQ(m.context.baseCount, 1);
    }
}

TEST(TrainingErrors, SetImageRefusals)
{
    CvAssociativeMemory m;
    m.Create(100, 100, 0);
    const cv::Mat frame = MakeTexture(320, 240, 2);
    SetFrame(m, frame);
    CvMat* integral = m.integral;
    ASSERT_NE(integral, nullptr);
    EXPECT_EQ(integral->rows, 241);
    EXPECT_EQ(integral->cols, 321);
    EXPECT_EQ(CV_MAT_TYPE(integral->type), CV_32SC1);
    // The same size keeps the matrix.
    const cv::Mat next = MakeTexture(320, 240, 3);
    SetFrame(m, next);
    EXPECT_EQ(m.integral, integral);
    EXPECT_EQ(CV_MAT_ELEM(*m.integral, int, 240, 320), static_cast<int>(cv::sum(next)[0]));

    ReportCapture capture;
    const cv::Mat colour(240, 320, CV_8UC3, cv::Scalar(1, 2, 3));
    SetFrame(m, colour);
    ASSERT_EQ(capture.reports.size(), 1u);
    EXPECT_EQ(capture.reports[0].status, -210);
    EXPECT_EQ(capture.reports[0].func, "CvAssociativeMemory::SetImage");
    EXPECT_EQ(capture.reports[0].message, "Source images must have 8uC1 type");
    EXPECT_EQ(m.integral, integral) << "the previous frame's integral image stays";

    // The refused frame must not be read: the memory has no valid source until the next good frame.
    const int type = 1;
    m.Write(cvRect(0, 0, 100, 100), &type);
    EXPECT_FALSE(m.Read(cvRect(0, 0, 100, 100)));
    ASSERT_EQ(capture.reports.size(), 3u);
    EXPECT_EQ(capture.reports[1].message, "Source image is not set");
    EXPECT_EQ(capture.reports[2].message, "Source image is not set");

    // Not an image at all: OpenCV's own report comes first, then the memory's.
    capture.reports.clear();
    int notAnImage[16] = {};
    m.SetImage(notAnImage);
    ASSERT_FALSE(capture.reports.empty());
    EXPECT_EQ(capture.reports.back().status, -1);
    EXPECT_EQ(capture.reports.back().func, "CvAssociativeMemory::SetImage");
    EXPECT_EQ(capture.reports.back().message, "Inner function failed.");
    m.SetImage(nullptr);
    EXPECT_EQ(capture.reports.back().message, "Inner function failed.");

    // A frame of another size makes a new integral image.
    capture.reports.clear();
    const cv::Mat small = MakeTexture(160, 120, 5);
    SetFrame(m, small);
    EXPECT_TRUE(capture.reports.empty());
    EXPECT_EQ(m.sourceWidth, 160);
    EXPECT_EQ(m.integral->cols, 161);
    EXPECT_TRUE(m.Read(cvRect(0, 0, 100, 100)));
}

TEST(Training, AreasOfAnySizeStayInsideTheImage)
{
    // Areas from one pixel to the whole frame, touching every edge, in a square and a narrow tall memory:
    // every read of the integral image, including the training rings, must stay inside it (the sanitizer
    // build checks each access).
    const cv::Mat frame = MakeTexture(130, 110, 31);
    for (const CvSize nominal : {cvSize(100, 100), cvSize(30, 500)}) {
        CvAssociativeMemory m;
        m.Create(nominal.width, nominal.height, 0);
        SetFrame(m, frame);
        cv::RNG rng(8);
        for (int i = 0; i < 300; i++) {
            const int w = rng.uniform(1, 131), h = rng.uniform(1, 111);
            const int x = i % 3 == 0 ? 130 - w : rng.uniform(0, 131 - w);
            const int y = i % 5 == 0 ? 0 : rng.uniform(0, 111 - h);
            const int type = i;
            m.Write(cvRect(x, y, w, h), &type);
            m.Read(cvRect(x, y, w, h), nullptr, nullptr, nullptr, nullptr, nullptr, i % 2 == 0);
        }
        EXPECT_EQ(static_cast<int>(CollectBases(m.root).size()), m.context.baseCount);
        EXPECT_EQ(m.context.accessCount, 600u);
    }
}
