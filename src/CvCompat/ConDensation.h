#pragma once
// The ConDensation particle filter with the classic C interface, which OpenCV 4 no longer ships.
//
// A filter holds SamplesNum samples of DP floats each. cvConDensInitSampleSet spreads them uniformly in a
// box; the caller then sets flConfidence for every sample and calls cvConDensUpdateByTime, which estimates
// State as DynamMatr times the confidence-weighted mean, resamples by confidence and moves every new sample
// through the dynamics plus a uniform diffusion.

#include <opencv2/core/core_c.h>

namespace cv {
class RNG;
}

typedef struct CvConDensation
{
    int MP;               /* number of measurement parameters */
    int DP;               /* number of dynamic (state) parameters */
    float* DynamMatr;     /* DP x DP dynamics matrix, row-major (A) */
    float* State;         /* DP values: the current estimate (x) */
    int SamplesNum;       /* number of samples (N) */
    float** flSamples;    /* N sample vectors of DP values */
    float** flNewSamples; /* N vectors of DP values: work space of the resampling */
    float* flConfidence;  /* N confidences, set by the caller before each update */
    float* flCumulative;  /* N running sums of the confidences */
    float* Temp;          /* DP values: work space, the confidence-weighted mean of the samples */
    float* RandomSample;  /* DP values: the last diffusion drawn */
    /* Our additions: the diffusion range and one random generator per coordinate. */
    float* diffusionLower; /* DP values: lower end of the uniform diffusion per coordinate */
    float* diffusionUpper; /* DP values: upper end of the uniform diffusion per coordinate */
    cv::RNG* generators;   /* DP random generators, one per coordinate, seeded by the coordinate's number */
} CvConDensation;

/* Creates a filter of dynamParams state values, measureParams measurement values and sampleCount samples;
   NULL, with a report, for sizes that are not positive. */
CvConDensation* cvCreateConDensation(int dynamParams, int measureParams, int sampleCount);

/* Releases the filter and sets *condens to NULL; tolerates NULL. */
void cvReleaseConDensation(CvConDensation** condens);

/* Spreads the samples uniformly over [lowerBound, upperBound] (DP x 1 CV_32FC1 each). */
void cvConDensInitSampleSet(CvConDensation* condens, CvMat* lowerBound, CvMat* upperBound);

/* Estimates State from the confidences, then resamples and moves the samples one step in time; confidences
   that are negative, not finite or sum to zero leave State and the samples as they are. */
void cvConDensUpdateByTime(CvConDensation* condens);
