#include "FeatureKernels.h"
#include "ChildMatrix.h"
#include "CvAssociativeMemory.h"
#include "ShiftDistances.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <utility>
#include <vector>

namespace {

uint64_t PlainSum(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t offset, int n)
{
    uint64_t sum = 0;
    for (int k = 0; k < n; k++)
        sum += static_cast<uint64_t>(
            std::abs(static_cast<int>(a[offset + k]) - static_cast<int>(b[offset + k])));
    return sum;
}

} // namespace

TEST(FeatureKernels, FastDistanceEqualsThePlainSum)
{
    cv::RNG rng(99);
    // Lengths around the vector width, the grids of every level and a long run that crosses a block fold;
    // odd offsets exercise unaligned loads.
    for (int n : {0, 1, 7, 8, 9, 15, 16, 17, 49, 225, 961, 16383, 16384, 16391, 40000}) {
        for (size_t offset : {0u, 1u, 3u}) {
            std::vector<int16_t> a(offset + static_cast<size_t>(n)), b(a.size());
            for (size_t k = 0; k < a.size(); k++) {
                a[k] = static_cast<int16_t>(rng.uniform(-32767, 32768));
                b[k] = static_cast<int16_t>(rng.uniform(-32767, 32768));
            }
            EXPECT_EQ(AbsDiffSum(a.data() + offset, b.data() + offset, n), PlainSum(a, b, offset, n))
                << "n " << n << " offset " << offset;
        }
    }
    // Extremes in every lane: the largest difference, many times over.
    std::vector<int16_t> hi(40000, 32767), lo(40000, -32767);
    EXPECT_EQ(AbsDiffSum(hi.data(), lo.data(), 40000), 40000ull * 65534);
    EXPECT_EQ(AbsDiffSum(lo.data(), hi.data(), 40000), 40000ull * 65534);
    EXPECT_EQ(FeatureDistance(200, 200, hi.data(), lo.data()), 40000ull * 65534);
}

TEST(FeatureKernels, SearchLayoutPutsTheFeaturesOnTheStrideOfTheExtraction)
{
    const std::vector<int16_t> features{1, 2, 3, 4, 5, 6};
    std::vector<int16_t> layout(static_cast<size_t>(SearchLayoutSize(3, 2)), 9);
    LayOutForSearch(features.data(), 3, 2, layout.data());
    EXPECT_EQ(layout, (std::vector<int16_t>{1, 2, 3, 0, 4, 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(FeatureKernels, ShiftDistancesEqualThePlainSumsOverTheExtraction)
{
    cv::RNG rng(17);
    // The grids of every level of the default memory, a tall one, and sizes around the vector width.
    for (auto [cols, rows] : {std::pair{1, 1}, {3, 3}, {7, 7}, {15, 15}, {3, 38}, {8, 2}, {9, 5}, {17, 3}}) {
        // The values beyond the extraction, which the search may read, are random too.
        std::vector<int16_t> extraction(static_cast<size_t>((cols + 1) * (rows + 1) + 16));
        std::vector<int16_t> features(static_cast<size_t>(cols * rows));
        // The extremes of int16, which a memory file may hold, in every lane.
        for (int16_t& v : extraction)
            v = static_cast<int16_t>(rng.uniform(0, 4) == 0 ? -32768 : rng.uniform(-32767, 32768));
        for (int16_t& v : features)
            v = static_cast<int16_t>(rng.uniform(0, 4) == 0 ? 32767 : rng.uniform(-32768, 32768));
        std::vector<int16_t> layout(static_cast<size_t>(SearchLayoutSize(cols, rows)));
        LayOutForSearch(features.data(), cols, rows, layout.data());
        const ShiftWindows windows = FindShiftWindows(extraction.data(), cols, rows);
        uint64_t plain[4] = {0, 0, 0, 0};
        for (int k = 0; k < 4; k++)
            for (int r = 0; r < rows; r++)
                for (int q = 0; q < cols; q++)
                    plain[k] += static_cast<uint64_t>(
                        std::abs(features[static_cast<size_t>(r * cols + q)] -
                                 extraction[static_cast<size_t>((r + (k >> 1)) * (cols + 1) + q + (k & 1))]));
        const uint64_t least = std::min(std::min(plain[0], plain[1]), std::min(plain[2], plain[3]));
        // Without a limit, and with limits just above, at and below the least distance: a search may give
        // up only when no shift can come under the limit.
        const uint64_t none = ~uint64_t{0};
        for (uint64_t limit : {none, least + 1, least, least / 2}) {
            uint64_t d[4];
            const bool complete = ShiftDistances(layout.data(), windows, limit, d);
            for (int k = 0; k < 4 && complete; k++)
                EXPECT_EQ(d[k], plain[k]) << cols << " x " << rows << " shift " << k << " limit " << limit;
            EXPECT_TRUE(complete || least >= limit) << cols << " x " << rows << " limit " << limit;
            EXPECT_TRUE(complete || limit != none);
        }
    }
}

TEST(FeatureKernels, MatrixDistancesEqualThePlainSumsOfEachChild)
{
    cv::RNG rng(23);
    CvAMContext context{};
    for (auto [cols, rows] : {std::pair{1, 1}, {3, 3}, {4, 4}, {2, 5}, {7, 7}, {8, 8}}) {
        for (int m : {1, 8, 9, 34}) {
            std::vector<int16_t> extraction(static_cast<size_t>((cols + 1) * (rows + 1)));
            for (int16_t& v : extraction)
                v = static_cast<int16_t>(rng.uniform(0, 4) == 0 ? -32768 : rng.uniform(-32767, 32768));
            std::vector<std::vector<int16_t>> features(static_cast<size_t>(m));
            std::deque<CvAMBase> bases;
            ChildMatrix matrix;
            for (auto& f : features) {
                for (int i = 0; i < cols * rows; i++)
                    f.push_back(
                        static_cast<int16_t>(rng.uniform(0, 4) == 0 ? 32767 : rng.uniform(-32768, 32768)));
                bases.emplace_back(&context);
                bases.back().features = f.data();
                matrix.children.push_back(&bases.back());
            }
            FillChildMatrix(matrix, cols, rows);
            MatrixDistances(matrix, extraction.data(), cols, matrix.distances.data());
            for (int c = 0; c < m; c++)
                for (int k = 0; k < 4; k++) {
                    uint32_t plain = 0;
                    for (int r = 0; r < rows; r++)
                        for (int q = 0; q < cols; q++)
                            plain += static_cast<uint32_t>(std::abs(
                                features[static_cast<size_t>(c)][static_cast<size_t>(r * cols + q)] -
                                extraction[static_cast<size_t>((r + (k >> 1)) * (cols + 1) + q + (k & 1))]));
                    EXPECT_EQ(matrix.distances[static_cast<size_t>(k * matrix.groups * 8 + c)], plain)
                        << cols << " x " << rows << ", " << m << " children, child " << c << " shift " << k;
                }
            for (CvAMBase& base : bases)
                base.features = NULL;
        }
    }
}

TEST(FeatureKernels, FirstNearestIsTheFirstChildAndWindowOfTheLeastDistance)
{
    cv::RNG rng(29);
    // Few distinct distances give many ties; the lanes past the last child hold the least values of all.
    for (int count : {1, 5, 8, 9, 34}) {
        const int groups = (count + 7) / 8;
        for (int trial = 0; trial < 50; trial++) {
            std::vector<uint32_t> d(static_cast<size_t>(4 * groups * 8), 0);
            for (int k = 0; k < 4; k++)
                for (int c = 0; c < count; c++)
                    d[static_cast<size_t>(k * groups * 8 + c)] = static_cast<uint32_t>(rng.uniform(1, 5));
            int child = -1, shift = 0;
            uint32_t least = UINT32_MAX;
            for (int c = 0; c < count; c++)
                for (int k = 0; k < 4; k++)
                    if (d[static_cast<size_t>(k * groups * 8 + c)] < least) {
                        least = d[static_cast<size_t>(k * groups * 8 + c)];
                        child = c;
                        shift = k;
                    }
            uint32_t distance = 0;
            int foundShift = -1;
            EXPECT_EQ(FirstNearest(d.data(), groups, count, &distance, &foundShift), child) << count;
            EXPECT_EQ(distance, least);
            EXPECT_EQ(foundShift, shift);
        }
    }
}

TEST(FeatureKernels, FastExtractionEqualsThePlainArithmetic)
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
