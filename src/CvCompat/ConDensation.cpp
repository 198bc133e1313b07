#include "ConDensation.h"

#include "ErrorReport.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <opencv2/core.hpp>
#include <utility>

namespace {

/* A uniform value in [a, b] (or [b, a]) from one 32-bit draw of rng. */
float DrawUniform(cv::RNG& rng, float a, float b)
{
    // u = next / 2^32 lies in [0, 1); the float rounding of a + u (b - a) may touch or pass b, so clamp.
    const double u = rng.next() * (1.0 / 4294967296.0);
    const float value = static_cast<float>(a + u * (static_cast<double>(b) - a));
    return std::clamp(value, std::min(a, b), std::max(a, b));
}

/* Seeds coordinate d's generator with d, so that every initialisation replays the same numbers. */
void SeedGenerators(CvConDensation* condens)
{
    for (int d = 0; d < condens->DP; d++)
        condens->generators[d] = cv::RNG(static_cast<uint64>(d));
}

/* A bound is usable when it is a DP x 1 CV_32FC1 matrix of finite values; otherwise reports and says no. */
bool CheckBound(const CvConDensation* condens, const CvMat* bound)
{
    const char* func = "cvConDensInitSampleSet";
    if (!bound) {
        CV_REPORT(CV_StsNullPtr, func, "Null pointer to a bound");
        return false;
    }
    if (!CV_IS_MAT(bound) || !bound->data.ptr) {
        CV_REPORT(CV_StsBadArg, func, "A bound is not a matrix");
        return false;
    }
    if (CV_MAT_TYPE(bound->type) != CV_32FC1) {
        CV_REPORT(CV_StsUnsupportedFormat, func, "The bounds must be CV_32FC1 matrices");
        return false;
    }
    if (bound->rows != condens->DP || bound->cols != 1) {
        CV_REPORT(CV_StsUnmatchedSizes, func, "The bounds must be DP x 1 matrices");
        return false;
    }
    for (int d = 0; d < condens->DP; d++) {
        if (!std::isfinite(CV_MAT_ELEM(*bound, float, d, 0))) {
            CV_REPORT(CV_StsBadArg, func, "The bounds must be finite");
            return false;
        }
    }
    return true;
}

/* Builds a filter of dynamParams state values, measureParams measurement values and sampleCount samples
   in block, which has room for the record, the generators, the two sample pointer tables and floats
   floats, in that order. */
CvConDensation* LayOutFilter(void* block, int dynamParams, int measureParams, int sampleCount, size_t floats)
{
    const size_t dp = static_cast<size_t>(dynamParams);
    const size_t n = static_cast<size_t>(sampleCount);
    auto* condens = new (block) CvConDensation();
    char* next = static_cast<char*>(block) + sizeof(CvConDensation);
    condens->generators = reinterpret_cast<cv::RNG*>(next);
    for (size_t d = 0; d < dp; d++)
        new (condens->generators + d) cv::RNG();
    next += dp * sizeof(cv::RNG);
    condens->flSamples = reinterpret_cast<float**>(next);
    condens->flNewSamples = condens->flSamples + n;
    float* f = reinterpret_cast<float*>(next + 2 * n * sizeof(float*));
    std::fill(f, f + floats, 0.0f);
    auto take = [&f](size_t count) {
        float* part = f;
        f += count;
        return part;
    };

    condens->MP = measureParams;
    condens->DP = dynamParams;
    condens->SamplesNum = sampleCount;
    condens->DynamMatr = take(dp * dp);
    condens->State = take(dp);
    for (size_t i = 0; i < n; i++)
        condens->flSamples[i] = take(dp);
    for (size_t i = 0; i < n; i++)
        condens->flNewSamples[i] = take(dp);
    condens->flConfidence = take(n);
    condens->flCumulative = take(n);
    condens->Temp = take(dp);
    condens->RandomSample = take(dp);
    condens->diffusionLower = take(dp);
    condens->diffusionUpper = take(dp);
    std::fill(condens->flConfidence, condens->flConfidence + n, 1.0f / sampleCount);
    SeedGenerators(condens);
    return condens;
}

/* S = sum c_j and C_j = c_0 + ... + c_j into flCumulative; false for a negative or NaN confidence, which
   leaves no weights to average with. */
bool SumConfidences(CvConDensation* condens, double* total)
{
    const float* conf = condens->flConfidence;
    *total = 0.0;
    for (int j = 0; j < condens->SamplesNum; j++) {
        if (!(conf[j] >= 0.0f))
            return false;
        *total += conf[j];
        condens->flCumulative[j] = static_cast<float>(*total);
    }
    return true;
}

/* State = A Temp, with Temp = sum_j c_j s_j / S. */
void EstimateState(CvConDensation* condens, double total)
{
    const int dp = condens->DP;
    const int n = condens->SamplesNum;
    const float* conf = condens->flConfidence;
    for (int d = 0; d < dp; d++) {
        double sum = 0.0;
        for (int j = 0; j < n; j++)
            sum += static_cast<double>(conf[j]) * condens->flSamples[j][d];
        condens->Temp[d] = static_cast<float>(sum / total);
    }
    for (int k = 0; k < dp; k++) {
        double sum = 0.0;
        for (int d = 0; d < dp; d++)
            sum += static_cast<double>(condens->DynamMatr[k * dp + d]) * condens->Temp[d];
        condens->State[k] = static_cast<float>(sum);
    }
}

/* Systematic resampling: new sample i copies the first j with C_j > i S / N (the last when none has), moved
   through the dynamics with a diffusion; the new set then replaces the old. */
void Resample(CvConDensation* condens, double total)
{
    const int dp = condens->DP;
    const int n = condens->SamplesNum;
    const float* conf = condens->flConfidence;
    // The thresholds grow with i and the sums with j, so one walk serves all; C_j is summed again in the
    // same order as in SumConfidences, hence to the same values.
    int j = 0;
    double cumulative = conf[0];
    for (int i = 0; i < n; i++) {
        const double threshold = static_cast<double>(i) * total / n;
        while (cumulative <= threshold && j < n - 1)
            cumulative += conf[++j];
        const float* copy = condens->flSamples[j];
        float* fresh = condens->flNewSamples[i];
        // s'_i = A s_j + uniform(diffusionLower, diffusionUpper)
        for (int k = 0; k < dp; k++) {
            condens->RandomSample[k] =
                DrawUniform(condens->generators[k], condens->diffusionLower[k], condens->diffusionUpper[k]);
            double sum = 0.0;
            for (int d = 0; d < dp; d++)
                sum += static_cast<double>(condens->DynamMatr[k * dp + d]) * copy[d];
            fresh[k] = static_cast<float>(sum + condens->RandomSample[k]);
        }
    }
    std::swap(condens->flSamples, condens->flNewSamples);
}

} // namespace

CvConDensation* cvCreateConDensation(int dynamParams, int measureParams, int sampleCount)
{
    if (dynamParams <= 0 || measureParams <= 0 || sampleCount <= 0) {
        CV_REPORT(CV_StsOutOfRange, "cvCreateConDensation",
                  "The numbers of parameters and samples must be positive");
        return nullptr;
    }
    const size_t dp = static_cast<size_t>(dynamParams);
    const size_t n = static_cast<size_t>(sampleCount);
    // One block: the record, the generators, the two sample pointer tables, then every float array
    // (dynamics DP x DP, State, two sample sets N x DP, confidences, cumulative sums, Temp, RandomSample,
    // the two diffusion ends). Each part's size is a multiple of the next part's alignment.
    static_assert(sizeof(CvConDensation) % alignof(cv::RNG) == 0 && sizeof(cv::RNG) % alignof(float*) == 0 &&
                      alignof(float*) % alignof(float) == 0,
                  "block parts must stay aligned");
    const size_t floats = dp * dp + dp + 2 * n * dp + 2 * n + 4 * dp;
    const double estimate = sizeof(CvConDensation) + dp * double(sizeof(cv::RNG)) +
                            2 * n * double(sizeof(float*)) + double(floats) * sizeof(float);
    if (estimate > 1e15) {
        CV_REPORT(CV_StsOutOfRange, "cvCreateConDensation", "The filter is too large");
        return nullptr;
    }
    const size_t size =
        sizeof(CvConDensation) + dp * sizeof(cv::RNG) + 2 * n * sizeof(float*) + floats * sizeof(float);
    void* block = nullptr;
    try {
        block = cvAlloc(size);
    } catch (const cv::Exception& e) {
        cvReportException(e);
        return nullptr;
    }

    return LayOutFilter(block, dynamParams, measureParams, sampleCount, floats);
}

void cvReleaseConDensation(CvConDensation** condens)
{
    if (!condens || !*condens)
        return;
    // The record and the generators are trivially destructible parts of the one block.
    cvFree(condens);
}

void cvConDensInitSampleSet(CvConDensation* condens, CvMat* lowerBound, CvMat* upperBound)
{
    if (!condens) {
        CV_REPORT(CV_StsNullPtr, "cvConDensInitSampleSet", "Null pointer to the filter");
        return;
    }
    if (!CheckBound(condens, lowerBound) || !CheckBound(condens, upperBound))
        return;

    SeedGenerators(condens);
    const int dp = condens->DP;
    for (int i = 0; i < condens->SamplesNum; i++) {
        for (int d = 0; d < dp; d++) {
            condens->flSamples[i][d] =
                DrawUniform(condens->generators[d], CV_MAT_ELEM(*lowerBound, float, d, 0),
                            CV_MAT_ELEM(*upperBound, float, d, 0));
        }
    }
    std::fill(condens->flConfidence, condens->flConfidence + condens->SamplesNum, 1.0f / condens->SamplesNum);
    for (int d = 0; d < dp; d++) {
        // The diffusion spans a fifth of the initial spread on either side.
        const double range = std::fabs(static_cast<double>(CV_MAT_ELEM(*upperBound, float, d, 0)) -
                                       CV_MAT_ELEM(*lowerBound, float, d, 0)) /
                             5.0;
        condens->diffusionLower[d] = static_cast<float>(-range);
        condens->diffusionUpper[d] = static_cast<float>(range);
    }
}

void cvConDensUpdateByTime(CvConDensation* condens)
{
    if (!condens) {
        CV_REPORT(CV_StsNullPtr, "cvConDensUpdateByTime", "Null pointer to the filter");
        return;
    }
    double total = 0.0;
    // Without a positive finite total the mean is undefined: keep State and the samples as they are.
    if (!SumConfidences(condens, &total) || !(total > 0.0) || !std::isfinite(total))
        return;
    EstimateState(condens, total);
    Resample(condens, total);
}
