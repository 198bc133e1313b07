#include "CvAssociativeMemory.h"
#include "MemoryTestSupport.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

/* The integral image of mat as the memory builds it. */
cv::Mat Integral(const cv::Mat& mat)
{
    cv::Mat sum;
    cv::integral(mat, sum, CV_32S);
    return sum;
}

/* Features of one area computed from plain pixel sums, independently of the integral image. */
std::vector<int16_t> PixelFeatures(const cv::Mat& image, CvRect area, int cols, int rows)
{
    const int cw = area.width / (cols + 1), ch = area.height / (rows + 1);
    std::vector<int16_t> out(static_cast<size_t>(cols * rows));
    for (int j = 0; j < rows; j++)
        for (int i = 0; i < cols; i++) {
            const int a =
                static_cast<int>(cv::sum(image(cv::Rect(area.x + i * cw, area.y + j * ch, cw, ch)))[0]);
            const int b = static_cast<int>(
                cv::sum(image(cv::Rect(area.x + (i + 1) * cw, area.y + (j + 1) * ch, cw, ch)))[0]);
            const int hi = std::max(a, b), lo = std::min(a, b);
            int v = hi == 0 ? 0 : static_cast<int>(32767 - static_cast<int64_t>(lo) * 32767 / hi);
            out[static_cast<size_t>(j * cols + i)] = static_cast<int16_t>(a <= b ? -v : v);
        }
    return out;
}

uint64_t PlainDistance(const std::vector<int16_t>& a, const std::vector<int16_t>& b)
{
    uint64_t d = 0;
    for (size_t k = 0; k < a.size(); k++)
        d += static_cast<uint64_t>(std::abs(a[k] - b[k]));
    return d;
}

/* One edge of a threshold ring: the areas of one size whose corners run from first to last. */
struct RingEdge
{
    cv::Point first, last;
    cv::Size size;
};

/* The four edges of the ring of shifts by up to d around area, where no edge meets the image border. */
std::vector<RingEdge> InnerRing(CvRect area, int d)
{
    const int x = area.x, y = area.y;
    const cv::Size size(area.width, area.height);
    return {{{x - d, y - d}, {x + d, y - d}, size},
            {{x + d, y - d}, {x + d, y + d}, size},
            {{x - d, y + d}, {x + d, y + d}, size},
            {{x - d, y - d}, {x - d, y + d}, size}};
}

/* The tolerance of a base trained on area: the mean distance, from pixel sums, of the features at every
   position of the ring's edges to those of area, times 1.105; corners count once per edge. */
uint64_t RingThreshold(const cv::Mat& image, CvRect area, int grid, const std::vector<RingEdge>& edges)
{
    const std::vector<int16_t> trained = PixelFeatures(image, area, grid, grid);
    int64_t sum = 0, count = 0;
    for (const RingEdge& e : edges)
        for (int y = e.first.y; y <= e.last.y; y++)
            for (int x = e.first.x; x <= e.last.x; x++, count++)
                sum += static_cast<int64_t>(PlainDistance(
                    PixelFeatures(image, cvRect(x, y, e.size.width, e.size.height), grid, grid), trained));
    return static_cast<uint64_t>(static_cast<double>(sum / count) * 1.105);
}

/* A child of parent with the given features and threshold, made the way a stored memory is rebuilt. */
CvAMBase* MakeChild(CvAMBase* parent, const std::vector<int16_t>& features, uint64_t threshold, int data)
{
    const CvAMBaseHeader header{900, 0, threshold, data};
    return parent->CreateChild(nullptr, cvRect(0, 0, 0, 0), features.data(), &header);
}

} // namespace

TEST(Features, ValuesCompareEachCellWithItsDiagonalNeighbour)
{
    // A 1 x 1 grid over a 4 x 4 area: cell A is the top-left 2 x 2 block, B the bottom-right one.
    auto feature = [](int a, int b) {
        cv::Mat image(4, 4, CV_8UC1, cv::Scalar(0));
        image(cv::Rect(0, 0, 2, 2)).setTo(a / 4);
        image(cv::Rect(2, 2, 2, 2)).setTo(b / 4);
        const cv::Mat sum = Integral(image);
        const CvMat header = cvMat(sum);
        int16_t v = 1234;
        ExtractFeatures(&header, cvRect(0, 0, 4, 4), 1, 1, &v);
        return static_cast<int>(v);
    };
    EXPECT_EQ(feature(400, 400), 0);
    EXPECT_EQ(feature(0, 400), -32767);
    EXPECT_EQ(feature(400, 0), 32767);
    EXPECT_EQ(feature(0, 0), 0);
    EXPECT_EQ(feature(100, 300), -21845);
    EXPECT_EQ(feature(300, 100), 21845);
}

TEST(Features, CellGeometryOfAThreeByThreeGrid)
{
    // Over a 100 x 100 area the cells are 25 pixels: value 0 compares blocks 0..24 and 25..49.
    auto first = [](int px, int py) {
        cv::Mat image(120, 120, CV_8UC1, cv::Scalar(0));
        image.at<uchar>(py, px) = 200;
        const cv::Mat sum = Integral(image);
        const CvMat header = cvMat(sum);
        std::vector<int16_t> out(9);
        ExtractFeatures(&header, cvRect(0, 0, 100, 100), 3, 3, out.data());
        return out;
    };
    EXPECT_EQ(first(24, 24)[0], 32767);
    EXPECT_EQ(first(49, 49)[0], -32767);
    EXPECT_EQ(first(49, 49)[4], 32767);
    EXPECT_EQ(first(50, 50)[0], 0);
    EXPECT_EQ(first(25, 0)[1], 32767);
    EXPECT_EQ(first(99, 99)[8], -32767);
    EXPECT_EQ(first(100, 100)[8], 0) << "pixels beyond the fourth cell are outside the area";

    const std::vector<int16_t> a{1, -2, 3, 32767}, b{-1, 2, 3, -32767};
    EXPECT_EQ(FeatureDistance(2, 2, a.data(), b.data()), 2u + 4u + 0u + 65534u);
    EXPECT_EQ(FeatureDistance(0, 2, a.data(), b.data()), 0u);
    std::vector<int16_t> hi(40000, 32767), lo(40000, -32767);
    EXPECT_EQ(FeatureDistance(200, 200, hi.data(), lo.data()), 40000ull * 65534);
}

TEST(Features, ExtractionEqualsThePlainArithmetic)
{
    // Random integral values of the whole 32-bit range give cell sums of every sign and size, including
    // the wrapped sums of frames too large for a 32-bit integral image; small values give many ties; the
    // integral image of random pixels (range -2) gives the sums of real frames.
    cv::RNG rng(5);
    for (int range : {0, 3, 1 << 20, -1, -2}) {
        cv::Mat integral(40, 200, CV_32SC1);
        for (int r = 0; r < integral.rows; r++)
            for (int c = 0; c < integral.cols; c++)
                integral.at<int>(r, c) = range < 0 ? static_cast<int>(rng.next()) : rng.uniform(0, range + 1);
        if (range == -2) {
            cv::Mat pixels(39, 199, CV_8UC1);
            rng.fill(pixels, cv::RNG::UNIFORM, 0, 256);
            cv::integral(pixels, integral, CV_32S);
        }
        const CvMat header = cvMat(integral);
        // Grids of every search, and one wider than a search ever makes.
        for (int cols : {1, 3, 4, 5, 8, 11, 40}) {
            const int rows = 3;
            const CvRect area = cvRect(2, 1, 4 * (cols + 1), 9 * (rows + 1));
            std::vector<int16_t> out(static_cast<size_t>(cols * rows));
            ExtractFeatures(&header, area, cols, rows, out.data());
            for (int j = 0; j < rows; j++)
                for (int i = 0; i < cols; i++) {
                    auto cell = [&](int ci, int cj) {
                        const int r0 = area.y + cj * 9, c0 = area.x + ci * 4;
                        const uint32_t sum = static_cast<uint32_t>(integral.at<int>(r0 + 9, c0 + 4)) -
                                             static_cast<uint32_t>(integral.at<int>(r0 + 9, c0)) -
                                             static_cast<uint32_t>(integral.at<int>(r0, c0 + 4)) +
                                             static_cast<uint32_t>(integral.at<int>(r0, c0));
                        return static_cast<int32_t>(sum);
                    };
                    const int32_t a = cell(i, j), b = cell(i + 1, j + 1);
                    const int32_t hi = std::max(a, b), lo = std::min(a, b);
                    int64_t v = hi == 0 ? 0 : 32767 - static_cast<int64_t>(lo) * 32767 / hi;
                    if (a <= b)
                        v = -v;
                    EXPECT_EQ(out[static_cast<size_t>(j * cols + i)], static_cast<int16_t>(v))
                        << "range " << range << " cols " << cols << " at " << i << ", " << j;
                }
        }
    }
}

TEST(Features, TexturedFeaturesAgreeWithPixelSums)
{
    const cv::Mat image = MakeTexture(200, 150, 3);
    const cv::Mat sum = Integral(image);
    const CvMat header = cvMat(sum);
    for (const CvRect area : {cvRect(0, 0, 100, 100), cvRect(37, 11, 81, 93), cvRect(120, 70, 80, 80)}) {
        for (int grid : {3, 7, 15}) {
            std::vector<int16_t> out(static_cast<size_t>(grid * grid));
            ExtractFeatures(&header, area, grid, grid, out.data());
            EXPECT_EQ(out, PixelFeatures(image, area, grid, grid)) << "grid " << grid << " at " << area.x;
        }
    }
}

TEST(Features, RingThresholdsOfEveryLevel)
{
    CvAssociativeMemory m;
    m.Create(100, 100, 0);
    const cv::Mat image = MakeTexture(320, 240, 5);
    SetFrame(m, image);

    // A chain of children as one Write makes it, every level trained on {x0 + 10, y0 + 10, 80, 80}; the
    // ring lies half a cell of the 100 x 100 area around it: 100 / 5 / 2, 100 / 9 / 2, 100 / 17 / 2 pixels.
    const int halfCell[] = {10, 5, 2};
    CvAMBase* parent = m.root;
    for (int level = 1; level <= 3; level++) {
        const CvRect r = cvRect(60 + 10, 50 + 10, 80, 80);
        CvAMBase* child = parent->CreateChild(m.integral, r);
        const int g = m.context.GetGridSize(static_cast<int16_t>(level)).width;
        EXPECT_EQ(child->threshold, RingThreshold(image, r, g, InnerRing(r, halfCell[level - 1])))
            << "level " << level;
        EXPECT_GT(child->threshold, 0u);
        EXPECT_EQ(child->level, level);
        EXPECT_EQ(child->index, static_cast<uint64_t>(level + 1));
        EXPECT_EQ(child->hits, 0u);
        EXPECT_EQ(std::vector<int16_t>(child->features, child->features + g * g),
                  PixelFeatures(image, r, g, g));
        parent = child;
    }
    EXPECT_EQ(m.context.baseCount, 4);
    EXPECT_EQ(m.context.deepestLevel, 3);
    EXPECT_EQ(m.context.dataSize, 2 + 18 + 98 + 450);
}

TEST(Features, RingThresholdsAtTheImageEdges)
{
    CvAssociativeMemory m;
    m.Create(100, 100, 0);
    const cv::Mat image = MakeTexture(150, 120, 9);
    SetFrame(m, image);
    // Areas near each border of the 150 x 120 image, with a ring of 10 pixels: where the ring would
    // leave the image, the edge on that side is moved onto the border or its areas are shortened by 10;
    // a ring that would just reach the right or bottom border is shortened too, one that just reaches the
    // left and top border is not.
    struct Case
    {
        CvRect area;
        std::vector<RingEdge> ring;
    };
    const Case cases[] = {
        {cvRect(0, 0, 80, 80),
         {{{0, 0}, {10, 0}, {80, 70}},
          {{10, 0}, {10, 10}, {80, 80}},
          {{0, 10}, {10, 10}, {80, 80}},
          {{0, 0}, {0, 10}, {70, 80}}}},
        {cvRect(3, 40, 80, 80),
         {{{0, 30}, {13, 30}, {80, 80}},
          {{13, 30}, {13, 50}, {80, 70}},
          {{0, 50}, {13, 50}, {80, 70}},
          {{0, 30}, {0, 50}, {70, 70}}}},
        {cvRect(70, 40, 80, 80),
         {{{60, 30}, {80, 30}, {70, 80}},
          {{80, 30}, {80, 50}, {70, 70}},
          {{60, 50}, {80, 50}, {70, 70}},
          {{60, 30}, {60, 50}, {80, 70}}}},
        {cvRect(64, 34, 80, 80),
         {{{54, 24}, {74, 24}, {70, 80}},
          {{74, 24}, {74, 44}, {70, 70}},
          {{54, 44}, {74, 44}, {70, 70}},
          {{54, 24}, {54, 44}, {80, 70}}}},
        {cvRect(60, 30, 80, 80),
         {{{50, 20}, {70, 20}, {70, 80}},
          {{70, 20}, {70, 40}, {70, 70}},
          {{50, 40}, {70, 40}, {70, 70}},
          {{50, 20}, {50, 40}, {80, 70}}}},
        {cvRect(10, 10, 80, 80), InnerRing(cvRect(10, 10, 80, 80), 10)},
        {cvRect(35, 5, 80, 80),
         {{{25, 0}, {45, 0}, {80, 70}},
          {{45, 0}, {45, 15}, {80, 80}},
          {{25, 15}, {45, 15}, {80, 80}},
          {{25, 0}, {25, 15}, {80, 80}}}},
    };
    for (const Case& c : cases) {
        CvAMBase* child = m.root->CreateChild(m.integral, c.area);
        EXPECT_EQ(child->threshold, RingThreshold(image, c.area, 3, c.ring))
            << "area at " << c.area.x << ", " << c.area.y;
    }
}

TEST(Features, UniformAreasNeverMatch)
{
    CvAssociativeMemory m;
    m.Create(100, 100, 0);
    const cv::Mat flat(200, 200, CV_8UC1, cv::Scalar(128));
    SetFrame(m, flat);
    CvAMBase* child = m.root->CreateChild(m.integral, cvRect(50, 50, 80, 80));
    EXPECT_EQ(child->threshold, 0u);
    for (int k = 0; k < 9; k++)
        EXPECT_EQ(child->features[k], 0);

    // Distance 0 against threshold 0: no match, and the lowest score.
    CvRect area = cvRect(40, 40, 100, 100);
    CvAMBase* best = nullptr;
    int score = -1;
    EXPECT_FALSE(m.root->MatchChildren(m.integral, &area, &best, &score));
    EXPECT_EQ(best, child);
    EXPECT_EQ(score, 0);
    EXPECT_EQ(area.x, 40 + 2) << "only the half margin moves an unmatched area";
}

TEST(Features, ChildSearchTieRulesAndScores)
{
    CvAssociativeMemory m;
    m.Create(100, 100, 0);
    // Cells of 20 pixels whose brightness depends on i + j only: the shifts (1,0) and (0,1) see the same
    // vector, (0,0) and (1,1) other ones.
    cv::Mat image(140, 140, CV_8UC1);
    for (int y = 0; y < 140; y++)
        for (int x = 0; x < 140; x++)
            image.at<uchar>(y, x) = static_cast<uchar>(10 + 20 * (x / 20 + y / 20));
    SetFrame(m, image);

    std::vector<int16_t> extraction(16);
    ExtractFeatures(m.integral, cvRect(0, 0, 100, 100), 4, 4, extraction.data());
    std::vector<int16_t> shifted(9), unshifted(9);
    for (int r = 0; r < 3; r++)
        for (int q = 0; q < 3; q++) {
            shifted[static_cast<size_t>(r * 3 + q)] = extraction[static_cast<size_t>(r * 4 + q + 1)];
            unshifted[static_cast<size_t>(r * 3 + q)] = extraction[static_cast<size_t>(r * 4 + q)];
        }
    ASSERT_EQ(shifted,
              std::vector<int16_t>({extraction[4], extraction[5], extraction[6], extraction[8], extraction[9],
                                    extraction[10], extraction[12], extraction[13], extraction[14]}));
    ASSERT_NE(shifted, unshifted);

    // Equal distances: (1,0) wins over (0,1), so the area moves right by the margin and not down.
    CvAMBase* a = MakeChild(m.root, shifted, 1000, 1);
    CvRect area = cvRect(0, 0, 100, 100);
    CvAMBase* best = nullptr;
    int score = 0;
    EXPECT_TRUE(m.root->MatchChildren(m.integral, &area, &best, &score));
    EXPECT_EQ(best, a);
    EXPECT_EQ(score, 2147483647) << "distance 0 below a positive threshold scores the maximum";
    EXPECT_EQ(area.x, 2 + 5);
    EXPECT_EQ(area.y, 2);
    EXPECT_EQ(area.width, 100);

    // A later child at the same distance never displaces the first; a closer one does.
    MakeChild(m.root, shifted, 1000, 2);
    area = cvRect(0, 0, 100, 100);
    m.root->MatchChildren(m.integral, &area, &best, nullptr);
    EXPECT_EQ(best, a);

    // Scores on both sides of the threshold, in exact integer arithmetic.
    std::vector<int16_t> off = shifted;
    off[0] = static_cast<int16_t>(off[0] + 300); // distance 300 from the (1,0) window
    const uint64_t d = 300;
    const uint64_t dUnshifted = PlainDistance(off, unshifted);
    ASSERT_GT(dUnshifted, d);
    CvAssociativeMemory m2;
    m2.Create(100, 100, 0);
    SetFrame(m2, image);
    MakeChild(m2.root, off, 1000, 3);
    area = cvRect(0, 0, 100, 100);
    EXPECT_TRUE(m2.root->MatchChildren(m2.integral, &area, &best, &score));
    EXPECT_EQ(score, 2147483647 - static_cast<int>(d * 1073741823 / 1000));
    best->threshold = 300;
    area = cvRect(0, 0, 100, 100);
    EXPECT_FALSE(m2.root->MatchChildren(m2.integral, &area, &best, &score))
        << "equal to the threshold misses";
    EXPECT_EQ(score, 1073741823);
    best->threshold = 100;
    area = cvRect(0, 0, 100, 100);
    EXPECT_FALSE(m2.root->MatchChildren(m2.integral, &area, &best, &score));
    EXPECT_EQ(score, static_cast<int>(100ull * 1073741823 / 300));
}

TEST(Features, HugeGridsScoreWithoutOverflow)
{
    // An area of 5120 pixels builds level-9 grids of 1023 x 1023 cells, whose distances times 2^30 - 1
    // exceed 63 bits.
    CvAssociativeMemory m;
    m.Create(5120, 5120, 0);
    ASSERT_EQ(m.context.levels, 9);
    const CvSize g = m.context.GetGridSize(9);
    ASSERT_EQ(g.width, 1023);
    cv::Mat image(4120, 4120, CV_8UC1);
    cv::RNG(21).fill(image, cv::RNG::UNIFORM, 0, 256);
    SetFrame(m, image);

    CvAMBase* parent = m.root;
    for (int16_t level = 1; level < 9; level++) {
        const CvSize gl = m.context.GetGridSize(level);
        parent = MakeChild(parent, std::vector<int16_t>(static_cast<size_t>(gl.width * gl.height), 0), 1, 1);
    }
    const CvRect s = m.context.scanRects[8];
    std::vector<int16_t> extraction(static_cast<size_t>((g.width + 1) * (g.height + 1)));
    ExtractFeatures(m.integral, cvRect(3, 5, s.width, s.height), g.width + 1, g.height + 1,
                    extraction.data());
    // Opposite extremes of the unshifted window keep every shift far away.
    const int n = g.width * g.height;
    std::vector<int16_t> features(static_cast<size_t>(n));
    for (int r = 0; r < g.height; r++)
        for (int q = 0; q < g.width; q++)
            features[static_cast<size_t>(r * g.width + q)] =
                extraction[static_cast<size_t>(r * (g.width + 1) + q)] >= 0 ? -32767 : 32767;
    uint64_t d = ~0ull;
    for (int k = 0; k < 4; k++) {
        uint64_t dk = 0;
        for (int r = 0; r < g.height; r++)
            for (int q = 0; q < g.width; q++)
                dk += static_cast<uint64_t>(
                    std::abs(features[static_cast<size_t>(r * g.width + q)] -
                             extraction[static_cast<size_t>((r + (k >> 1)) * (g.width + 1) + q + (k & 1))]));
        d = std::min(d, dk);
    }
    ASSERT_GT(d, (1ull << 63) / 1073741823) << "the test needs a product beyond 63 bits";

    CvAMBase* child = MakeChild(parent, features, d - 12345, 1);
    CvAMBase* best = nullptr;
    int score = 0;
    CvRect area = cvRect(3, 5, 10, 10);
    EXPECT_FALSE(parent->MatchChildren(m.integral, &area, &best, &score));
    EXPECT_EQ(best, child);
    __extension__ typedef unsigned __int128 Wide;
    EXPECT_EQ(score, static_cast<int>(static_cast<Wide>(d - 12345) * 1073741823 / d));
    EXPECT_GT(score, 1073741000) << "a near miss scores just below the match line";

    child->threshold = d + 98765;
    area = cvRect(3, 5, 10, 10);
    EXPECT_TRUE(parent->MatchChildren(m.integral, &area, &best, &score));
    EXPECT_EQ(score, 2147483647 - static_cast<int>(static_cast<Wide>(d) * 1073741823 / (d + 98765)));
    EXPECT_GT(score, 1073741823);
    EXPECT_LT(score, 1073800000);
}

TEST(Features, NullEntriesAndFreeSlotReuse)
{
    CvAssociativeMemory m;
    m.Create(100, 100, 0);
    const cv::Mat image = MakeTexture(200, 200, 8);
    SetFrame(m, image);
    const std::vector<int16_t> zeros(9, 0);
    CvAMBase* a = MakeChild(m.root, zeros, 10, 1);
    CvAMBase* b = MakeChild(m.root, zeros, 10, 2);
    CvAMBase* c = MakeChild(m.root, zeros, 10, 3);
    (void)b;
    CvAMBase** entries[3];
    for (int i = 0; i < 3; i++)
        entries[i] = reinterpret_cast<CvAMBase**>(cvGetSeqElem(m.root->children, i));
    delete a;
    *entries[0] = nullptr;
    delete c;
    *entries[2] = nullptr;
    delete *entries[1];
    *entries[1] = nullptr;
    EXPECT_EQ(m.context.baseCount, 1);

    // Only null entries: no best child, and the last null entry becomes the free slot.
    CvRect area = cvRect(0, 0, 100, 100);
    CvAMBase* best = m.root;
    int score = 77;
    EXPECT_FALSE(m.root->MatchChildren(m.integral, &area, &best, &score));
    EXPECT_EQ(best, nullptr);
    EXPECT_EQ(score, 77) << "no best child, no score";
    EXPECT_EQ(m.root->freeSlot, entries[2]);

    // The next child fills that slot; the list keeps its length.
    const int poolBefore = m.context.seqPool->total;
    CvAMBase* d = m.root->CreateChild(m.integral, cvRect(20, 20, 80, 80));
    EXPECT_EQ(*entries[2], d);
    EXPECT_EQ(m.root->freeSlot, nullptr);
    EXPECT_EQ(m.root->children->total, 3);
    EXPECT_EQ(m.context.seqPool->total, poolBefore - 1) << "the child's list is taken from the pool";
    CvAMBase* e = m.root->CreateChild(m.integral, cvRect(30, 20, 80, 80));
    EXPECT_EQ(m.root->children->total, 4) << "without a free slot a child is appended";
    EXPECT_EQ(*reinterpret_cast<CvAMBase**>(cvGetSeqElem(m.root->children, 3)), e);
}
