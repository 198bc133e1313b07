#pragma once
// Helpers of the memory's tests: frames handed to the memory and the tree read back; with the captured
// reports and textures that all tests share.

#include "CvAssociativeMemory.h"
#include "ReportCapture.h"
#include "Texture.h"

#include <opencv2/core.hpp>

#include <vector>

/* Hands mat (8-bit, one channel) to the memory as the current frame. */
void SetFrame(CvAssociativeMemory& memory, const cv::Mat& mat);

/* Every base of the tree in depth-first pre-order, NULL entries skipped. */
std::vector<CvAMBase*> CollectBases(CvAMBase* root);

/* The entries of a children list, NULL entries included. */
std::vector<CvAMBase*> Entries(const CvAMBase* base);
