#include "FeatureKernels.h"
#include "CvAssociativeMemory.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include <cstdlib>
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

TEST(FeatureKernels, ShiftPlanesAreTheFourChildWindows)
{
    const int cols = 3, rows = 2;
    std::vector<int16_t> extraction((cols + 1) * (rows + 1));
    for (size_t k = 0; k < extraction.size(); k++)
        extraction[k] = static_cast<int16_t>(k);
    std::vector<int16_t> planes(4 * cols * rows);
    BuildShiftPlanes(extraction.data(), cols, rows, planes.data());
    // Extraction rows: 0 1 2 3 / 4 5 6 7 / 8 9 10 11.
    const std::vector<int16_t> expected{0, 1, 2, 4, 5, 6,  1, 2, 3, 5, 6,  7,
                                        4, 5, 6, 8, 9, 10, 5, 6, 7, 9, 10, 11};
    EXPECT_EQ(planes, expected);
}
