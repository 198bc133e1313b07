#include "AbsDiffSum.h"
#include "Erosion.h"
#include "ExtractionKernels.h"
#include "KernelDispatch.h"
#include "MatrixDistances.h"
#include "ShiftDistances.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

/* Every level this build has and this processor runs, the plain one first: each form is compared with the
   plain form on the same inputs, and the plain form with what the kernel promises. */
std::vector<KernelLevel> RunnableLevels()
{
    std::vector<KernelLevel> levels;
    for (KernelLevel level : allKernelLevels)
        if (KernelLevelRuns(level))
            levels.push_back(level);
    return levels;
}

/* n random int16 values, a quarter of them extreme (-32768 or 32767 as extreme says) so that every lane
   meets the extremes a memory file may hold. */
std::vector<int16_t> RandomValues(cv::RNG& rng, size_t n, int extreme)
{
    std::vector<int16_t> v(n);
    for (int16_t& x : v)
        x = static_cast<int16_t>(rng.uniform(0, 4) == 0 ? extreme : rng.uniform(-32768, 32768));
    return v;
}

} // namespace

TEST(Kernels, LevelFollowsTheEnvironment)
{
    // CTest runs this with each switch set: the process's level must obey it.
    KernelLevel expected = KernelLevel::Plain;
    const std::pair<KernelLevel, const char*> ladder[] = {{KernelLevel::Sse2, "LANESCOPE_NO_SSE2"},
                                                          {KernelLevel::Avx2, "LANESCOPE_NO_AVX2"},
                                                          {KernelLevel::Avx512, "LANESCOPE_NO_AVX512"}};
    for (auto [level, variable] : ladder) {
        if (std::getenv(variable) || !KernelLevelRuns(level))
            break;
        expected = level;
    }
    EXPECT_EQ(ActiveKernelLevel(), expected);
    EXPECT_TRUE(KernelLevelRuns(KernelLevel::Plain));
}

TEST(Kernels, AbsDiffSumFormsEqualThePlainSum)
{
    cv::RNG rng(99);
    for (KernelLevel level : RunnableLevels()) {
        AbsDiffSumForm* sum = AbsDiffSumAt(level);
        // Lengths around the vector width, the grids of every level and a long run that crosses a block
        // fold; odd offsets exercise unaligned loads.
        for (int n : {0, 1, 7, 8, 9, 15, 16, 17, 49, 225, 961, 16383, 16384, 16391, 40000}) {
            for (size_t offset : {0u, 1u, 3u}) {
                const std::vector<int16_t> a = RandomValues(rng, offset + static_cast<size_t>(n), -32767);
                const std::vector<int16_t> b = RandomValues(rng, a.size(), 32767);
                EXPECT_EQ(sum(a.data() + offset, b.data() + offset, n),
                          AbsDiffSumPlain(a.data() + offset, b.data() + offset, n))
                    << "level " << static_cast<int>(level) << " n " << n << " offset " << offset;
            }
        }
        // Extremes in every lane: the largest difference, many times over.
        std::vector<int16_t> hi(40000, 32767), lo(40000, -32767);
        EXPECT_EQ(sum(hi.data(), lo.data(), 40000), 40000ull * 65534);
        EXPECT_EQ(sum(lo.data(), hi.data(), 40000), 40000ull * 65534);
    }
}

TEST(Kernels, ContrastRowFormsEqualThePlainContrasts)
{
    // Sums of the whole 32-bit range (the wrapped sums of frames too large for a 32-bit integral image),
    // small ones with many ties and zeros, and those of real cells; lengths around both vector widths.
    cv::RNG rng(5);
    for (int range : {0, 3, 1 << 20, -1}) {
        for (int n : {0, 1, 3, 4, 5, 8, 12, 13, 20, 33}) {
            std::vector<int32_t> a(static_cast<size_t>(n)), b(a.size());
            for (size_t i = 0; i < a.size(); i++) {
                a[i] = range < 0 ? static_cast<int32_t>(rng.next()) : rng.uniform(0, range + 1);
                b[i] = range < 0 ? static_cast<int32_t>(rng.next()) : rng.uniform(0, range + 1);
            }
            std::vector<int16_t> plain(a.size());
            ContrastRowPlain(a.data(), b.data(), n, plain.data());
            for (KernelLevel level : RunnableLevels()) {
                std::vector<int16_t> out(a.size());
                ContrastRowAt(level)(a.data(), b.data(), n, out.data());
                EXPECT_EQ(out, plain)
                    << "level " << static_cast<int>(level) << " range " << range << " n " << n;
            }
        }
    }
}

TEST(Kernels, ContrastGridFormsEqualThePlainGridAndWriteNothingElse)
{
    // The grids of every search's extraction and the largest small grid; sums of every sign and small ones.
    cv::RNG rng(7);
    for (auto [cols, rows] :
         {std::pair{1, 1}, {3, 3}, {4, 4}, {4, 7}, {7, 2}, {8, 8}, {16, 16}, {31, 3}, {31, 31}}) {
        for (int range : {3, -1}) {
            std::vector<int32_t> sums(static_cast<size_t>(ContrastGridSums(cols, rows)), 0);
            for (size_t k = 0; k < static_cast<size_t>((rows + 1) * (cols + 1)); k++)
                sums[k] = range < 0 ? static_cast<int32_t>(rng.next()) : rng.uniform(0, range + 1);
            // A margin of sentinels after the grid, which no form may write.
            std::vector<int16_t> plain(static_cast<size_t>(cols * rows + 16), 1234);
            ContrastGridPlain(sums.data(), cols, rows, plain.data());
            EXPECT_EQ(plain.back(), 1234);
            for (KernelLevel level : RunnableLevels()) {
                std::vector<int16_t> out(plain.size(), 1234);
                ContrastGridAt(level)(sums.data(), cols, rows, out.data());
                EXPECT_EQ(out, plain) << "level " << static_cast<int>(level) << " " << cols << " x " << rows;
            }
        }
    }
}

TEST(Kernels, SearchLayoutPutsTheFeaturesOnTheStrideOfTheExtraction)
{
    const std::vector<int16_t> features{1, 2, 3, 4, 5, 6};
    std::vector<int16_t> layout(static_cast<size_t>(SearchLayoutSize(3, 2)), 9);
    LayOutForSearch(features.data(), 3, 2, layout.data());
    EXPECT_EQ(layout, (std::vector<int16_t>{1, 2, 3, 0, 4, 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(Kernels, ShiftDistancesFormsEqualThePlainSumsAndGiveUpOnlyAtTheLimit)
{
    cv::RNG rng(17);
    // The grids of every level of the default memory, a tall one, and sizes around the vector width.
    for (auto [cols, rows] : {std::pair{1, 1}, {3, 3}, {7, 7}, {15, 15}, {3, 38}, {8, 2}, {9, 5}, {17, 3}}) {
        // The values beyond the extraction, which the search may read, are random too.
        const std::vector<int16_t> extraction =
            RandomValues(rng, static_cast<size_t>((cols + 1) * (rows + 1) + 16), -32768);
        const std::vector<int16_t> features = RandomValues(rng, static_cast<size_t>(cols * rows), 32767);
        std::vector<int16_t> layout(static_cast<size_t>(SearchLayoutSize(cols, rows)));
        LayOutForSearch(features.data(), cols, rows, layout.data());
        const ShiftWindows windows = FindShiftWindows(extraction.data(), cols, rows);
        const uint64_t none = ~uint64_t{0};
        uint64_t plain[4];
        ASSERT_TRUE(ShiftDistancesPlain(layout.data(), windows, none, plain));
        const uint64_t least = std::min(std::min(plain[0], plain[1]), std::min(plain[2], plain[3]));
        // Without a limit, and with limits just above, at and below the least distance: a search may give
        // up only when no shift can come under the limit.
        for (KernelLevel level : RunnableLevels())
            for (uint64_t limit : {none, least + 1, least, least / 2}) {
                uint64_t d[4];
                const bool complete = ShiftDistancesAt(level)(layout.data(), windows, limit, d);
                for (int k = 0; k < 4 && complete; k++)
                    EXPECT_EQ(d[k], plain[k]) << "level " << static_cast<int>(level) << " " << cols << " x "
                                              << rows << " shift " << k << " limit " << limit;
                EXPECT_TRUE(complete || least >= limit) << cols << " x " << rows << " limit " << limit;
                EXPECT_TRUE(complete || limit != none);
            }
    }
}

TEST(Kernels, MatrixDistancesFormsEqualThePlainSumsOfEachChild)
{
    cv::RNG rng(23);
    for (auto [cols, rows] : {std::pair{1, 1}, {3, 3}, {4, 4}, {2, 5}, {7, 7}, {8, 8}}) {
        for (int m : {1, 8, 9, 17, 34, 56}) {
            const std::vector<int16_t> extraction =
                RandomValues(rng, static_cast<size_t>((cols + 1) * (rows + 1)), -32768);
            FeatureMatrix matrix;
            ShapeFeatureMatrix(matrix, m, cols, rows);
            for (int c = 0; c < m; c++)
                PutMatrixChild(matrix, c, RandomValues(rng, static_cast<size_t>(cols * rows), 32767).data());
            std::vector<uint32_t> plain(MatrixDistanceCount(matrix));
            MatrixDistancesPlain(matrix, extraction.data(), cols, plain.data());
            for (KernelLevel level : RunnableLevels()) {
                std::vector<uint32_t> d(plain.size());
                MatrixDistancesAt(level)(matrix, extraction.data(), cols, d.data());
                for (int c = 0; c < m; c++)
                    for (int k = 0; k < 4; k++) {
                        const size_t at = static_cast<size_t>(k * matrix.groups * 8 + c);
                        EXPECT_EQ(d[at], plain[at])
                            << "level " << static_cast<int>(level) << " " << cols << " x " << rows << ", "
                            << m << " children, child " << c << " shift " << k;
                    }
            }
        }
    }
}

TEST(Kernels, FirstNearestFormsFindThePlainChildAndWindow)
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
            uint32_t least = 0;
            int shift = -1;
            const int child = FirstNearestPlain(d.data(), groups, count, &least, &shift);
            for (KernelLevel level : RunnableLevels()) {
                uint32_t distance = 0;
                int foundShift = -1;
                EXPECT_EQ(FirstNearestAt(level)(d.data(), groups, count, &distance, &foundShift), child)
                    << "level " << static_cast<int>(level) << " count " << count;
                EXPECT_EQ(distance, least);
                EXPECT_EQ(foundShift, shift);
            }
        }
    }
}

TEST(Kernels, ErodeRowFormsEqualThePlainMinima)
{
    cv::RNG rng(31);
    // Rows around the vector width; the last pixel has no right neighbour.
    for (int n : {1, 2, 15, 16, 17, 18, 31, 32, 33, 100}) {
        std::vector<uint8_t> a(static_cast<size_t>(n)), b(a.size());
        for (size_t i = 0; i < a.size(); i++) {
            a[i] = static_cast<uint8_t>(rng.uniform(0, 256));
            b[i] = static_cast<uint8_t>(rng.uniform(0, 256));
        }
        std::vector<uint8_t> plain(a.size());
        ErodeRowPlain(a.data(), b.data(), n, plain.data());
        EXPECT_EQ(plain.back(), std::min(a.back(), b.back()));
        for (KernelLevel level : RunnableLevels()) {
            std::vector<uint8_t> out(a.size());
            ErodeRowAt(level)(a.data(), b.data(), n, out.data());
            EXPECT_EQ(out, plain) << "level " << static_cast<int>(level) << " n " << n;
        }
    }
}
