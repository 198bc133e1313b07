#include "TestSupport.h"

#include <opencv2/imgproc.hpp>

namespace {

int Capture(int status, const char* func, const char* message, const char*, int, void* userData)
{
    static_cast<ReportCapture*>(userData)->reports.push_back(
        {status, func ? func : "", message ? message : ""});
    return 0;
}

} // namespace

ReportCapture::ReportCapture()
{
    cv::redirectError(&Capture, this);
}

ReportCapture::~ReportCapture()
{
    cv::redirectError(nullptr);
}

cv::Mat MakeTexture(int width, int height, uint64_t seed)
{
    cv::RNG rng(seed);
    cv::Mat texture(height, width, CV_8UC1, cv::Scalar(rng.uniform(60, 200)));
    const int shapes = width * height / 150;
    for (int i = 0; i < shapes; i++) {
        const cv::Point centre(rng.uniform(0, width), rng.uniform(0, height));
        const int size = rng.uniform(2, std::max(3, std::min(width, height) / 4));
        const cv::Scalar grey(rng.uniform(0, 256));
        if (rng.uniform(0, 2) == 0)
            cv::circle(texture, centre, size / 2, grey, cv::FILLED);
        else
            cv::rectangle(texture, cv::Rect(centre.x, centre.y, size, rng.uniform(2, size + 1)), grey,
                          cv::FILLED);
    }
    cv::GaussianBlur(texture, texture, cv::Size(3, 3), 0.8);
    return texture;
}

void SetFrame(CvAssociativeMemory& memory, const cv::Mat& mat)
{
    CvMat header = cvMat(mat);
    memory.SetImage(&header);
}

std::vector<CvAMBase*> Entries(const CvAMBase* base)
{
    std::vector<CvAMBase*> entries;
    for (int i = 0; base->children && i < base->children->total; i++)
        entries.push_back(*reinterpret_cast<CvAMBase**>(cvGetSeqElem(base->children, i)));
    return entries;
}

std::vector<CvAMBase*> CollectBases(CvAMBase* root)
{
    std::vector<CvAMBase*> bases{root};
    for (CvAMBase* child : Entries(root))
        if (child)
            for (CvAMBase* base : CollectBases(child))
                bases.push_back(base);
    return bases;
}
