#pragma once
// Shared helpers of the memory's tests: captured error reports, synthetic textures and frames.

#include "CvAssociativeMemory.h"

#include <opencv2/core.hpp>

#include <string>
#include <vector>

/* One report received through cv::redirectError. */
struct CapturedReport
{
    int status;
    std::string func;
    std::string message;
};

/* Collects every report made while it lives; the previous handler is restored afterwards. */
class ReportCapture
{
  public:
    ReportCapture();
    ~ReportCapture();
    ReportCapture(const ReportCapture&) = delete;
    ReportCapture& operator=(const ReportCapture&) = delete;

    std::vector<CapturedReport> reports;
};

/* A grey texture of blobs and bars of many sizes, reproducible from its seed. */
cv::Mat MakeTexture(int width, int height, uint64_t seed);

/* Hands mat (8-bit, one channel) to the memory as the current frame. */
void SetFrame(CvAssociativeMemory& memory, const cv::Mat& mat);

/* Every base of the tree in depth-first pre-order, NULL entries skipped. */
std::vector<CvAMBase*> CollectBases(CvAMBase* root);

/* The entries of a children list, NULL entries included. */
std::vector<CvAMBase*> Entries(const CvAMBase* base);
