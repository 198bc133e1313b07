// The playback-position line: field arithmetic, rounding toward zero, long and odd positions.

#include "FilmPosition.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

std::string Line(double msec)
{
    char buf[64];
    int length = FormatFilmPosition(msec, buf, sizeof buf);
    EXPECT_EQ(length, int(std::string(buf).size()));
    return buf;
}

} // namespace

TEST(FilmPosition, FieldsAndTruncation)
{
    EXPECT_EQ(Line(0), "==> film current position: 00:00:00.000\n");
    EXPECT_EQ(Line(59999.9), "==> film current position: 00:00:59.999\n");
    EXPECT_EQ(Line(3725042), "==> film current position: 01:02:05.042\n");
    EXPECT_EQ(Line(3725042.999), "==> film current position: 01:02:05.042\n");
    EXPECT_EQ(Line(60000), "==> film current position: 00:01:00.000\n");
    EXPECT_EQ(Line(3599999), "==> film current position: 00:59:59.999\n");
    // From 100 hours on, the hours take as many digits as they need.
    EXPECT_EQ(Line(360000000), "==> film current position: 100:00:00.000\n");
    EXPECT_EQ(Line(4294967295.0), "==> film current position: 1193:02:47.295\n");
}

TEST(FilmPosition, PositionsOutsideTheUnsignedRange)
{
    // The count is unsigned 32-bit: past 2^32 ms it wraps; a position the capture cannot give
    // (negative, NaN, infinite) counts as 0 instead of being converted with undefined result.
    EXPECT_EQ(FilmPositionMilliseconds(4294967296.0 + 1234.5), 1234u);
    EXPECT_EQ(FilmPositionMilliseconds(-1), 0u);
    EXPECT_EQ(FilmPositionMilliseconds(-0.5), 0u);
    EXPECT_EQ(FilmPositionMilliseconds(std::nan("")), 0u);
    EXPECT_EQ(FilmPositionMilliseconds(std::numeric_limits<double>::infinity()), 0u);
    EXPECT_EQ(FilmPositionMilliseconds(1e300), uint32_t(std::fmod(1e300, 4294967296.0)));
    EXPECT_EQ(Line(-1), "==> film current position: 00:00:00.000\n");
}

TEST(FilmPosition, PrintsOneLineOnStandardOutput)
{
    testing::internal::CaptureStdout();
    PrintFilmPosition(3725042);
    PrintFilmPosition(0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "==> film current position: 01:02:05.042\n==> film current position: 00:00:00.000\n");
    // A short buffer is cut and terminated, never overrun.
    char small[12];
    EXPECT_EQ(FormatFilmPosition(0, small, sizeof small), 40);
    EXPECT_EQ(std::string(small), "==> film cu");
}
