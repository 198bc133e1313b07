#include "CvAssociativeMemory.h"
#include "LanescopeSettings.h"
#include "MemoryTestSupport.h"
#include "PackedFormat.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

/* Lanescope's start selection, which the first training frame of a fresh run learns. */
const CvRect START = {CV_LS_SELECTION_X, CV_LS_SELECTION_Y, CV_LS_SELECTION_WIDTH, CV_LS_SELECTION_HEIGHT};

uint32_t U32(const Bytes& b, size_t at)
{
    uint32_t v;
    std::memcpy(&v, &b[at], 4);
    return v;
}

uint64_t U64(const Bytes& b, size_t at)
{
    uint64_t v;
    std::memcpy(&v, &b[at], 8);
    return v;
}

int16_t I16(const Bytes& b, size_t at)
{
    int16_t v;
    std::memcpy(&v, &b[at], 2);
    return v;
}

/* Stores the low width bytes of v at b[at], little-endian. */
void Set(Bytes& b, size_t at, uint64_t v, int width)
{
    for (int i = 0; i < width; i++)
        b.at(at + static_cast<size_t>(i)) = static_cast<unsigned char>(v >> (8 * i));
}
void SetU32(Bytes& b, size_t at, uint32_t v)
{
    Set(b, at, v, 4);
}
void SetU64(Bytes& b, size_t at, uint64_t v)
{
    Set(b, at, v, 8);
}

/* The memory's image in a buffer of the size its owner gives it, trimmed to the written length. */
Bytes Pack(CvAssociativeMemory& m)
{
    const CvAMContext& c = m.context;
    Bytes b(static_cast<size_t>(GetPackedDataSize(c)), 0xCD);
    m.WritePackedData(b.data());
    // The written length follows from the records themselves.
    size_t end = 40 + 8 * static_cast<size_t>(U32(b, 20));
    for (uint32_t i = 0; i < U32(b, 20); i++)
        end += 32 + U32(b, end + 28);
    EXPECT_LE(end, b.size());
    b.resize(end);
    return b;
}

/* Number of vacated entries in the children lists of the tree. */
int NullEntries(CvAMBase* root)
{
    int count = 0;
    for (const CvAMBase* base : CollectBases(root))
        for (const CvAMBase* child : Entries(base))
            count += child == NULL;
    return count;
}

/* A memory trained on several areas of the textured frame, some of them many times. */
void Train(CvAssociativeMemory& m, const cv::Mat& frame)
{
    CvMat view = cvMat(frame);
    m.Create(100, 100, 0);
    m.SetImage(&view);
    const CvRect areas[] = {START, {40, 30, 100, 100}, {300, 300, 120, 120}, {500, 60, 90, 90}};
    for (int k = 0; k < 4; k++) {
        const int type = k + 1;
        for (int repeat = 0; repeat <= 3 * k; repeat++) {
            m.Write(areas[k], &type);
            m.Read(areas[k]);
        }
    }
}

TEST(PackedData, WorkedExampleAndRootOnlyImage)
{
    cv::Mat frame = MakeTexture(640, 480, 7);
    CvMat view = cvMat(frame);
    CvAssociativeMemory m;
    m.Create(100, 100, 0);

    // Root only: 40 + 8 + 32 + 2 bytes, and nothing after them is touched.
    Bytes root(200, 0xCD);
    m.WritePackedData(root.data());
    EXPECT_EQ(U32(root, 20), 1u);
    EXPECT_EQ(U64(root, 40), 0u);
    EXPECT_EQ(U64(root, 48), 1u); // root index
    EXPECT_EQ(U32(root, 76), 2u); // b of the 1 x 1 root grid
    EXPECT_EQ(I16(root, 80), 0);  // zero feature bytes
    EXPECT_EQ(root[82], 0xCD);

    const int type = 1;
    m.SetImage(&view);
    m.Write(START, &type);
    m.Read(START);
    const Bytes b = Pack(m);
    ASSERT_EQ(b.size(), 768u);
    EXPECT_EQ(U32(b, 0), 100u);
    EXPECT_EQ(U32(b, 4), 100u);
    EXPECT_EQ(U32(b, 8), 4u);
    EXPECT_EQ(U32(b, 12), 568u);
    EXPECT_EQ(I16(b, 16), 3);
    EXPECT_EQ(I16(b, 18), 3);
    EXPECT_EQ(U32(b, 20), 4u);
    EXPECT_EQ(U64(b, 24), 4u);
    EXPECT_EQ(U64(b, 32), 2u);
    // One chain: parent table 0, 1, 2, 3; records of b = 2, 18, 98, 450 with each base's header and values.
    const CvAMBase* base = m.root;
    size_t at = 72;
    const uint32_t sizes[] = {2, 18, 98, 450};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(U64(b, 40 + 8 * static_cast<size_t>(i)), static_cast<uint64_t>(i)) << "parent of " << i;
        EXPECT_EQ(U64(b, at), base->index);
        EXPECT_EQ(U64(b, at + 8), base->hits);
        EXPECT_EQ(U64(b, at + 16), base->threshold);
        EXPECT_EQ(static_cast<int32_t>(U32(b, at + 24)), 1);
        ASSERT_EQ(U32(b, at + 28), sizes[i]);
        for (uint32_t k = 0; k < sizes[i] / 2; k++)
            ASSERT_EQ(I16(b, at + 32 + 2 * k), base->features ? base->features[k] : 0) << "base " << i;
        at += 32 + sizes[i];
        if (i < 3)
            base = *reinterpret_cast<CvAMBase**>(cvGetSeqElem(base->children, 0));
    }
    EXPECT_GE(U64(b, 106 + 8), 1u) << "the level-1 base counts at least its first Write";
}

TEST(PackedData, NullBufferAndUncreatedMemoryAreReported)
{
    CvAssociativeMemory m;
    ReportCapture capture;
    std::vector<CapturedReport>& reports = capture.reports;
    Bytes b(100, 0);
    m.WritePackedData(b.data());
    m.Create(100, 100, 0);
    m.WritePackedData(NULL);
    EXPECT_FALSE(m.ReadPackedData(NULL, 100));
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0].status, CV_StsNullPtr);
    EXPECT_EQ(reports[0].func, "CvAssociativeMemory::WritePackedData");
    EXPECT_EQ(reports[0].message, "Associative memory is not created");
    EXPECT_EQ(reports[1].message, "The pointer of packed data is NULL");
    EXPECT_EQ(reports[2].status, CV_StsNullPtr);
    EXPECT_EQ(reports[2].func, "CvAssociativeMemory::ReadPackedData");
    EXPECT_EQ(reports[2].message, "The pointer of packed data is NULL");
    EXPECT_EQ(m.context.baseCount, 1);
}

TEST(PackedData, RoundTripRebuildsTheSameTreeAndRecall)
{
    cv::Mat frame = MakeTexture(640, 480, 7);
    CvMat view = cvMat(frame);
    CvAssociativeMemory a;
    Train(a, frame);
    ASSERT_GT(a.context.baseCount, 8);
    const Bytes first = Pack(a);

    CvAssociativeMemory b;
    b.prunedBaseCount = 77;
    ASSERT_TRUE(b.ReadPackedData(first.data(), first.size()));
    EXPECT_EQ(Pack(b), first) << "nothing was deleted, so the second image is identical";
    EXPECT_EQ(b.context.baseCount, a.context.baseCount);
    EXPECT_EQ(b.context.dataSize, a.context.dataSize);
    EXPECT_EQ(b.context.deepestLevel, a.context.deepestLevel);
    EXPECT_EQ(b.prunedBaseCount, 77);

    // Both memories answer every window alike, and count the same hits on the way.
    b.SetImage(&view);
    std::vector<CvRect> windows = {START, {40, 30, 100, 100}, {300, 300, 120, 120}, {500, 60, 90, 90}};
    for (int y = 0; y + 100 <= frame.rows; y += 37)
        for (int x = 0; x + 100 <= frame.cols; x += 41)
            windows.push_back(cvRect(x, y, 100, 100));
    int recognised = 0;
    for (const CvRect& area : windows) {
        CvRect foundA, foundB;
        int *dataA = NULL, *dataB = NULL;
        uint64_t indexA = 0, indexB = 0, hitsA = 0, hitsB = 0;
        double pA = -1, pB = -1;
        const bool ra = a.Read(area, &foundA, &dataA, &indexA, &hitsA, &pA);
        const bool rb = b.Read(area, &foundB, &dataB, &indexB, &hitsB, &pB);
        ASSERT_EQ(ra, rb) << area.x << "," << area.y;
        recognised += ra;
        EXPECT_EQ(*dataA, *dataB);
        EXPECT_EQ(indexA, indexB);
        EXPECT_EQ(hitsA, hitsB);
        EXPECT_EQ(pA, pB);
        EXPECT_EQ(foundA.x, foundB.x);
        EXPECT_EQ(foundA.y, foundB.y);
    }
    EXPECT_GT(recognised, 0);
    EXPECT_EQ(Pack(a), Pack(b));
}

TEST(PackedData, PrunedBasesAreNotWrittenAndTheSecondImageShrinks)
{
    cv::Mat frame = MakeTexture(640, 480, 7);
    CvAssociativeMemory a;
    Train(a, frame);
    const int before = a.context.baseCount;
    a.root->Prune();
    const std::vector<CvAMBase*> alive = CollectBases(a.root);
    ASSERT_GT(NullEntries(a.root), 0) << "the areas written once leave vacated slots";
    ASSERT_LT(a.context.baseCount, before);
    ASSERT_GT(a.context.baseCount, 1);

    const Bytes first = Pack(a);
    ASSERT_EQ(U32(first, 20), static_cast<uint32_t>(alive.size()));
    EXPECT_EQ(static_cast<int32_t>(U32(first, 12)), a.context.dataSize);
    for (size_t i = 0, at = 40 + 8 * alive.size(); i < alive.size(); i++) {
        EXPECT_EQ(U64(first, at), alive[i]->index) << "pre-order record " << i;
        at += 32 + U32(first, at + 28);
    }

    CvAssociativeMemory b;
    ASSERT_TRUE(b.ReadPackedData(first.data(), first.size()));
    const std::vector<CvAMBase*> rebuilt = CollectBases(b.root);
    EXPECT_EQ(NullEntries(b.root), 0);
    ASSERT_EQ(rebuilt.size(), alive.size());
    for (size_t i = 0; i < alive.size(); i++) {
        EXPECT_EQ(rebuilt[i]->index, alive[i]->index);
        EXPECT_EQ(rebuilt[i]->level, alive[i]->level);
    }
    const Bytes second = Pack(b);
    EXPECT_LT(U32(second, 12), U32(first, 12)) << "dataSize is recounted from the bases that remain";
    EXPECT_EQ(second.size(), first.size());

    // Pruning everything away: the stored deepest level drops from 3 to 0.
    CvAssociativeMemory c;
    c.Create(100, 100, 0);
    CvMat view = cvMat(frame);
    const int type = 1;
    c.SetImage(&view);
    c.Write(START, &type);
    c.root->Prune();
    const Bytes lone = Pack(c);
    EXPECT_EQ(lone.size(), 82u);
    EXPECT_EQ(I16(lone, 16), 3);
    ASSERT_TRUE(b.ReadPackedData(lone.data(), lone.size()));
    const Bytes again = Pack(b);
    EXPECT_EQ(I16(again, 16), 0);
    EXPECT_EQ(U32(again, 12), 2u);
}

/* A record made by hand: bases given as (parent index, own index, level), features of a fixed pattern. */
Bytes Handmade(int width, int height, int16_t levels, const std::vector<std::array<uint64_t, 3>>& bases)
{
    CvAssociativeMemory probe;
    probe.Create(width, height, levels);
    Bytes b(40 + 8 * bases.size(), 0);
    SetU32(b, 0, static_cast<uint32_t>(width));
    SetU32(b, 4, static_cast<uint32_t>(height));
    SetU32(b, 8, 4);
    Set(b, 18, static_cast<uint16_t>(levels), 2);
    SetU32(b, 20, static_cast<uint32_t>(bases.size()));
    SetU64(b, 24, 100);
    for (size_t i = 0; i < bases.size(); i++) {
        SetU64(b, 40 + 8 * i, bases[i][0]);
        const CvSize g = probe.context.GetGridSize(static_cast<int16_t>(bases[i][2]));
        const size_t at = b.size();
        b.resize(at + 32 + static_cast<size_t>(g.width * g.height * 2), static_cast<unsigned char>(i + 1));
        SetU64(b, at, bases[i][1]);
        SetU64(b, at + 8, 10 + i);
        SetU32(b, at + 28, static_cast<uint32_t>(g.width * g.height * 2));
    }
    return b;
}

TEST(PackedData, RepeatedIndicesAttachToTheFirstBaseWithThatIndex)
{
    // Two level-1 bases share index 2; the level-2 base names 2 as its parent.
    const Bytes b = Handmade(100, 100, 3, {{0, 1, 0}, {1, 2, 1}, {1, 2, 1}, {2, 3, 2}});
    CvAssociativeMemory m;
    ASSERT_TRUE(m.ReadPackedData(b.data(), b.size()));
    ASSERT_EQ(m.context.baseCount, 4);
    ASSERT_EQ(m.root->children->total, 2);
    const CvAMBase* first = *reinterpret_cast<CvAMBase**>(cvGetSeqElem(m.root->children, 0));
    const CvAMBase* second = *reinterpret_cast<CvAMBase**>(cvGetSeqElem(m.root->children, 1));
    EXPECT_EQ(first->children->total, 1);
    EXPECT_EQ(second->children->total, 0);
    EXPECT_EQ(first->hits, 11u);
    EXPECT_EQ(m.context.baseIndex, 100u);
    EXPECT_EQ(m.context.deepestLevel, 2);
    EXPECT_EQ(m.context.dataSize, 2 + 18 + 18 + 98);
}

TEST(PackedData, HostileRecordsAreRefusedAndTheMemoryIsUnchanged)
{
    cv::Mat frame = MakeTexture(640, 480, 7);
    CvAssociativeMemory source;
    Train(source, frame);
    const Bytes good = Pack(source);
    const uint32_t n = U32(good, 20);
    const size_t records = 40 + 8 * n;
    const size_t second = records + 32 + 2; // the first level-1 record follows the root's

    struct Case
    {
        const char* what;
        Bytes bytes;
        size_t size;
    };
    std::vector<Case> cases;
    auto mutate = [&](const char* what, size_t at, uint64_t value, int width) {
        Bytes b = good;
        Set(b, at, value, width);
        cases.push_back({what, b, b.size()});
    };
    mutate("check value 5", 8, 5, 4);
    mutate("width 39", 0, 39, 4);
    mutate("height 39", 4, 39, 4);
    mutate("negative width", 0, static_cast<uint32_t>(-100), 4);
    mutate("absurd height", 4, 1u << 30, 4);
    mutate("no levels", 18, 0, 2);
    mutate("negative levels", 18, 0xFFFF, 2);
    mutate("more levels than the area allows", 18, 5, 2);
    mutate("fewer levels than the bases use", 18, 2, 2);
    mutate("no bases", 20, 0, 4);
    mutate("negative base count", 20, 0x80000000u, 4);
    mutate("more bases than the buffer holds", 20, 0x7FFFFFFF, 4);
    mutate("one base more than stored", 20, n + 1, 4);
    mutate("root with a parent", 40, 5, 8);
    mutate("second root", 48, 0, 8);
    mutate("unknown parent", 40 + 8 * (n - 1), 999999, 8);
    mutate("parent stored later", 48, U64(good, good.size() - 482), 8); // the last record's index
    mutate("root grid of 2 values", records + 28, 4, 4);
    mutate("feature count off by 2", second + 28, 20, 4);
    mutate("huge feature count", second + 28, 0xFFFFFFFF, 4);
    cases.push_back({"record past the end", good, good.size() - 1});
    cases.push_back({"header cut short", good, 39});
    cases.push_back({"empty", good, 0});
    const Bytes deep = Handmade(100, 100, 1, {{0, 1, 0}, {1, 2, 1}, {2, 3, 2}});
    cases.push_back({"below the deepest level", deep, deep.size()});

    CvAssociativeMemory m;
    Train(m, MakeTexture(640, 480, 99));
    m.root->Prune();
    const Bytes before = Pack(m);
    const CvAMBase* root = m.root;
    const int count = m.context.baseCount, dataSize = m.context.dataSize;
    for (const Case& c : cases) {
        ReportCapture capture;
        std::vector<CapturedReport>& reports = capture.reports;
        EXPECT_FALSE(m.ReadPackedData(c.bytes.data(), c.size)) << c.what;
        ASSERT_EQ(reports.size(), 1u) << c.what;
        EXPECT_EQ(reports[0].status, CV_StsUnmatchedSizes);
        EXPECT_EQ(reports[0].func, "CvAssociativeMemory::ReadPackedData");
        EXPECT_EQ(reports[0].message, "Size of input data do not match to actual settings");
        EXPECT_EQ(m.root, root) << c.what;
        EXPECT_EQ(m.context.baseCount, count) << c.what;
        EXPECT_EQ(m.context.dataSize, dataSize) << c.what;
    }
    EXPECT_EQ(Pack(m), before);

    // Bytes after the record are ignored, and a record of more levels than the bases use is fine.
    Bytes longer = good;
    longer.resize(good.size() + 100, 0xEE);
    EXPECT_TRUE(m.ReadPackedData(longer.data(), longer.size()));
    EXPECT_EQ(Pack(m), good);
    Bytes deeper = good;
    Set(deeper, 18, 4, 2);
    EXPECT_TRUE(m.ReadPackedData(deeper.data(), deeper.size()));
    EXPECT_EQ(m.context.levels, 4);

    // However wide or tall, what a created memory writes is read back.
    for (const CvSize size : {cvSize(10000, 100), cvSize(100, 12000)}) {
        CvAssociativeMemory wide;
        wide.Create(size.width, size.height, 0);
        const Bytes image = Pack(wide);
        EXPECT_TRUE(m.ReadPackedData(image.data(), image.size())) << size.width << " x " << size.height;
        EXPECT_EQ(Pack(m), image);
    }
}

} // namespace
