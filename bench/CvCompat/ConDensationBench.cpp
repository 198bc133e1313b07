#include "ConDensation.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

/* One filter pass as a track update makes it: weigh 64 samples of 2 values against a measurement, then
 * update. */
void BM_ConDensUpdateByTime(benchmark::State& state)
{
    CvConDensation* filter = cvCreateConDensation(2, 2, 64);
    CvMat dynamics = cvMat(2, 2, CV_32FC1, filter->DynamMatr);
    cvSetIdentity(&dynamics, cvRealScalar(1.0));
    float lower[2] = {-16, -16}, upper[2] = {16, 16};
    CvMat lo = cvMat(2, 1, CV_32FC1, lower), hi = cvMat(2, 1, CV_32FC1, upper);
    cvConDensInitSampleSet(filter, &lo, &hi);
    const float zx = 3.0f, zy = -2.0f, stepX2 = 256.0f, stepY2 = 256.0f;
    for (auto _ : state) {
        for (int i = 0; i < filter->SamplesNum; i++) {
            const float dx = zx - filter->flSamples[i][0], dy = zy - filter->flSamples[i][1];
            filter->flConfidence[i] = std::exp(-dx * dx / (4 * stepX2)) * std::exp(-dy * dy / (4 * stepY2));
        }
        cvConDensUpdateByTime(filter);
        benchmark::DoNotOptimize(filter->State[0]);
    }
    cvReleaseConDensation(&filter);
}
BENCHMARK(BM_ConDensUpdateByTime);

} // namespace
