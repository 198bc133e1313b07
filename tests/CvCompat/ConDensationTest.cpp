#include "ConDensation.h"
#include "ReportCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

namespace {

/* A filter of dp state values and n samples, released at the end of the scope. */
struct Filter
{
    CvConDensation* f;
    Filter(int dp, int n) : f(cvCreateConDensation(dp, dp, n)) {}
    ~Filter() { cvReleaseConDensation(&f); }
};

void Init(CvConDensation* f, std::vector<float> lower, std::vector<float> upper)
{
    CvMat lo = cvMat(static_cast<int>(lower.size()), 1, CV_32FC1, lower.data());
    CvMat hi = cvMat(static_cast<int>(upper.size()), 1, CV_32FC1, upper.data());
    cvConDensInitSampleSet(f, &lo, &hi);
}

/* Puts sample i at (x[i], y[i]) with confidence c[i] and no diffusion. */
void Place(CvConDensation* f, std::vector<float> x, std::vector<float> y, std::vector<float> c)
{
    Init(f, {0, 0}, {0, 0});
    for (int i = 0; i < f->SamplesNum; i++) {
        f->flSamples[i][0] = x[i];
        f->flSamples[i][1] = y[i];
        f->flConfidence[i] = c[i];
    }
}

/* Everything a refused or degenerate call must leave alone (confidences optional: they may hold NaN). */
std::vector<float> Snapshot(const CvConDensation* f, bool confidences = true)
{
    std::vector<float> all(f->State, f->State + f->DP);
    for (int i = 0; i < f->SamplesNum; i++) {
        all.insert(all.end(), f->flSamples[i], f->flSamples[i] + f->DP);
        if (confidences)
            all.push_back(f->flConfidence[i]);
    }
    all.insert(all.end(), f->diffusionLower, f->diffusionLower + f->DP);
    all.insert(all.end(), f->diffusionUpper, f->diffusionUpper + f->DP);
    return all;
}

} // namespace

TEST(ConDensation, CreateAndRelease)
{
    Filter a(2, 64);
    ASSERT_NE(a.f, nullptr);
    EXPECT_EQ(a.f->DP, 2);
    EXPECT_EQ(a.f->MP, 2);
    EXPECT_EQ(a.f->SamplesNum, 64);
    for (int k = 0; k < 4; k++)
        EXPECT_EQ(a.f->DynamMatr[k], 0.0f);
    EXPECT_EQ(a.f->State[0], 0.0f);
    EXPECT_EQ(a.f->State[1], 0.0f);
    for (int i = 0; i < 64; i++)
        EXPECT_FLOAT_EQ(a.f->flConfidence[i], 1.0f / 64);

    // The tracker's way of setting identity dynamics.
    CvMat dynamics = cvMat(2, 2, CV_32FC1, a.f->DynamMatr);
    cvSetIdentity(&dynamics, cvRealScalar(1.0));
    EXPECT_EQ(a.f->DynamMatr[0], 1.0f);
    EXPECT_EQ(a.f->DynamMatr[1], 0.0f);
    EXPECT_EQ(a.f->DynamMatr[3], 1.0f);

    ReportCapture capture;
    EXPECT_EQ(cvCreateConDensation(0, 2, 64), nullptr);
    EXPECT_EQ(cvCreateConDensation(2, -1, 64), nullptr);
    EXPECT_EQ(cvCreateConDensation(2, 2, 0), nullptr);
    ASSERT_EQ(capture.reports.size(), 3u);
    EXPECT_EQ(capture.reports[0].status, CV_StsOutOfRange);
    EXPECT_EQ(capture.reports[0].func, "cvCreateConDensation");

    CvConDensation* none = nullptr;
    cvReleaseConDensation(&none);
    cvReleaseConDensation(nullptr);
    CvConDensation* b = cvCreateConDensation(3, 1, 5);
    cvReleaseConDensation(&b);
    EXPECT_EQ(b, nullptr);
}

TEST(ConDensation, InitialSpread)
{
    const int n = 4000;
    Filter a(2, n), b(2, n);
    Init(a.f, {-16, 300}, {16, 100}); // upper below lower spans the same box
    Init(b.f, {-16, 300}, {16, 100});
    EXPECT_EQ(Snapshot(a.f), Snapshot(b.f));
    EXPECT_FLOAT_EQ(a.f->diffusionLower[0], -6.4f);
    EXPECT_FLOAT_EQ(a.f->diffusionUpper[0], 6.4f);
    EXPECT_FLOAT_EQ(a.f->diffusionUpper[1], 40.0f);

    std::vector<int> bins[2] = {std::vector<int>(8), std::vector<int>(8)};
    const float lower[2] = {-16, 100}, width[2] = {32, 200};
    bool coordinatesDiffer = false;
    for (int i = 0; i < n; i++) {
        for (int d = 0; d < 2; d++) {
            const float u = (a.f->flSamples[i][d] - lower[d]) / width[d];
            ASSERT_TRUE(u >= 0.0f && u <= 1.0f) << "sample " << i << " coordinate " << d;
            bins[d][std::min(7, static_cast<int>(u * 8))]++;
        }
        coordinatesDiffer |= (a.f->flSamples[i][0] + 16) / 32 != (a.f->flSamples[i][1] - 100) / 200;
        EXPECT_FLOAT_EQ(a.f->flConfidence[i], 1.0f / n);
    }
    EXPECT_TRUE(coordinatesDiffer) << "each coordinate has its own generator";
    for (int d = 0; d < 2; d++)
        for (int k = 0; k < 8; k++)
            EXPECT_NEAR(bins[d][k], n / 8, 100) << "coordinate " << d << " bin " << k;

    // Re-initialising re-seeds: the same spread again, whatever happened in between.
    const std::vector<float> first = Snapshot(a.f);
    cvConDensUpdateByTime(a.f);
    Init(a.f, {-16, 300}, {16, 100});
    EXPECT_EQ(Snapshot(a.f), first);

    // Bounds may be a column of a wider matrix (row step larger than one float).
    float wide[2][3] = {{1, 7, 2}, {3, 9, 4}};
    CvMat whole = cvMat(2, 3, CV_32FC1, wide), column;
    cvGetCol(&whole, &column, 1);
    cvConDensInitSampleSet(a.f, &column, &column);
    EXPECT_EQ(a.f->flSamples[n - 1][0], 7.0f);
    EXPECT_EQ(a.f->flSamples[n - 1][1], 9.0f);
}

TEST(ConDensation, BadBoundsAreRefused)
{
    Filter a(2, 8);
    Init(a.f, {-4, -4}, {4, 4});
    a.f->flConfidence[3] = 0.5f;
    const std::vector<float> before = Snapshot(a.f);

    float good[2] = {1, 2}, three[3] = {1, 2, 3}, nan[2] = {0, std::nanf("")};
    double doubles[2] = {1, 2};
    CvMat ok = cvMat(2, 1, CV_32FC1, good), row = cvMat(1, 2, CV_32FC1, good),
          tall = cvMat(3, 1, CV_32FC1, three), wrongType = cvMat(2, 1, CV_64FC1, doubles),
          notFinite = cvMat(2, 1, CV_32FC1, nan), notMatrix = ok;
    notMatrix.type = 0;

    ReportCapture capture;
    cvConDensInitSampleSet(nullptr, &ok, &ok);
    cvConDensInitSampleSet(a.f, nullptr, &ok);
    cvConDensInitSampleSet(a.f, &ok, &notMatrix);
    cvConDensInitSampleSet(a.f, &wrongType, &ok);
    cvConDensInitSampleSet(a.f, &ok, &row);
    cvConDensInitSampleSet(a.f, &tall, &ok);
    cvConDensInitSampleSet(a.f, &ok, &notFinite);
    cvConDensUpdateByTime(nullptr);
    const int expected[] = {CV_StsNullPtr,        CV_StsNullPtr,        CV_StsBadArg, CV_StsUnsupportedFormat,
                            CV_StsUnmatchedSizes, CV_StsUnmatchedSizes, CV_StsBadArg, CV_StsNullPtr};
    ASSERT_EQ(capture.reports.size(), 8u);
    for (size_t r = 0; r < 8; r++) {
        EXPECT_EQ(capture.reports[r].status, expected[r]) << "report " << r;
        EXPECT_EQ(capture.reports[r].func, r < 7 ? "cvConDensInitSampleSet" : "cvConDensUpdateByTime");
    }
    EXPECT_EQ(Snapshot(a.f), before);
}

TEST(ConDensation, MeanStateAndResampling)
{
    // Samples (10 i, -i); C = 0, 2, 2, 3, 5 so the thresholds 0, 1, 2, 3, 4 pick samples 1, 1, 3, 4, 4.
    Filter a(2, 5);
    Place(a.f, {0, 10, 20, 30, 40}, {0, -1, -2, -3, -4}, {0, 2, 0, 1, 2});
    CvMat dynamics = cvMat(2, 2, CV_32FC1, a.f->DynamMatr);
    cvSetIdentity(&dynamics, cvRealScalar(1.0));
    cvConDensUpdateByTime(a.f);
    EXPECT_FLOAT_EQ(a.f->State[0], 26.0f); // (20 + 30 + 80) / 5
    EXPECT_FLOAT_EQ(a.f->State[1], -2.6f);
    const float cumulative[5] = {0, 2, 2, 3, 5}, picked[5] = {1, 1, 3, 4, 4};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(a.f->flCumulative[i], cumulative[i]);
        EXPECT_EQ(a.f->flSamples[i][0], 10 * picked[i]) << "new sample " << i;
        EXPECT_EQ(a.f->flSamples[i][1], -picked[i]) << "new sample " << i;
    }

    // Non-identity dynamics A = [2 1; 0 -1] move both State and the copies.
    Place(a.f, {0, 10, 20, 30, 40}, {0, -1, -2, -3, -4}, {0, 2, 0, 1, 2});
    const float A[4] = {2, 1, 0, -1};
    std::copy(A, A + 4, a.f->DynamMatr);
    cvConDensUpdateByTime(a.f);
    EXPECT_FLOAT_EQ(a.f->State[0], 49.4f);
    EXPECT_FLOAT_EQ(a.f->State[1], 2.6f);
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(a.f->flSamples[i][0], 19 * picked[i]) << "new sample " << i;
        EXPECT_EQ(a.f->flSamples[i][1], picked[i]) << "new sample " << i;
    }

    // All weight on the first or on the last sample: every copy is of that one.
    cvSetIdentity(&dynamics, cvRealScalar(1.0));
    for (int heavy : {0, 4}) {
        std::vector<float> c(5, 0.0f);
        c[heavy] = 1e-30f;
        Place(a.f, {0, 10, 20, 30, 40}, {0, 1, 2, 3, 4}, c);
        cvConDensUpdateByTime(a.f);
        EXPECT_FLOAT_EQ(a.f->State[0], 10.0f * heavy);
        for (int i = 0; i < 5; i++)
            EXPECT_EQ(a.f->flSamples[i][1], heavy) << "new sample " << i;
    }
}

TEST(ConDensation, DiffusionStaysInRange)
{
    const int n = 64;
    Filter a(2, n);
    Init(a.f, {-16, 0}, {16, 50}); // diffusion +-6.4 and +-10
    CvMat dynamics = cvMat(2, 2, CV_32FC1, a.f->DynamMatr);
    cvSetIdentity(&dynamics, cvRealScalar(1.0));
    for (int i = 0; i < n; i++)
        a.f->flSamples[i][0] = 100, a.f->flSamples[i][1] = -50;
    cvConDensUpdateByTime(a.f);
    EXPECT_FLOAT_EQ(a.f->State[0], 100.0f);
    EXPECT_FLOAT_EQ(a.f->State[1], -50.0f);
    const float centre[2] = {100, -50}, range[2] = {6.4f, 10};
    for (int d = 0; d < 2; d++) {
        float lo = centre[d], hi = centre[d];
        for (int i = 0; i < n; i++) {
            lo = std::min(lo, a.f->flSamples[i][d]);
            hi = std::max(hi, a.f->flSamples[i][d]);
        }
        EXPECT_GE(lo, centre[d] - range[d]) << "coordinate " << d;
        EXPECT_LE(hi, centre[d] + range[d]) << "coordinate " << d;
        EXPECT_GT(hi - lo, 1.5f * range[d]) << "coordinate " << d << " hardly diffused";
    }
}

TEST(ConDensation, TrackingIsReproducible)
{
    // Two filters driven exactly as the tracker drives them give bit-identical results.
    Filter a(2, 64), b(2, 64);
    for (CvConDensation* f : {a.f, b.f}) {
        CvMat dynamics = cvMat(2, 2, CV_32FC1, f->DynamMatr);
        cvSetIdentity(&dynamics, cvRealScalar(1.0));
        Init(f, {-16, -16}, {16, 16});
        for (int step = 1; step <= 20; step++) {
            const float zx = 3.0f * step, zy = -2.0f * step;
            for (int pass = 0; pass < 2; pass++) {
                for (int i = 0; i < 64; i++)
                    f->flConfidence[i] = static_cast<float>(
                        std::exp(-(zx - f->flSamples[i][0]) * (zx - f->flSamples[i][0]) / (4 * 256.0)) *
                        std::exp(-(zy - f->flSamples[i][1]) * (zy - f->flSamples[i][1]) / (4 * 256.0)));
                cvConDensUpdateByTime(f);
            }
        }
        EXPECT_NEAR(f->State[0], 60.0f, 8.0f);
        EXPECT_NEAR(f->State[1], -40.0f, 8.0f);
    }
    EXPECT_EQ(Snapshot(a.f), Snapshot(b.f));
}

TEST(ConDensation, DegenerateConfidencesKeepStateAndSamples)
{
    Filter a(2, 4);
    Init(a.f, {-16, -16}, {16, 16});
    a.f->State[0] = 7, a.f->State[1] = 8;
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<std::vector<float>> cases = {
        {0, 0, 0, 0}, {1, std::nanf(""), 1, 1}, {1, inf, 1, 1}, {1, 1, -0.5f, 1}, {inf, -inf, 1, 1}};
    ReportCapture capture;
    for (const std::vector<float>& c : cases) {
        std::copy(c.begin(), c.end(), a.f->flConfidence);
        const std::vector<float> before = Snapshot(a.f, false);
        cvConDensUpdateByTime(a.f);
        EXPECT_EQ(Snapshot(a.f, false), before) << "confidences " << c[0] << " " << c[1] << " " << c[2];
    }
    EXPECT_TRUE(capture.reports.empty());
    std::fill(a.f->flConfidence, a.f->flConfidence + 4, 1.0f);
    cvConDensUpdateByTime(a.f);
    EXPECT_NE(a.f->State[0], 7.0f);
}
