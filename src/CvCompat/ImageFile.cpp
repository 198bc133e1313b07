#include "ImageFile.h"

#include <opencv2/imgcodecs.hpp>

namespace cvcompat {

IplImage* LoadImage(const char* path, int flags)
{
    if (!path)
        return nullptr;
    try {
        cv::Mat loaded = cv::imread(path, flags);
        if (loaded.empty())
            return nullptr;
        IplImage header = cvIplImage(loaded);
        // A clone has its own pixel buffer from cvCreateImage, so cvReleaseImage frees it.
        return cvCloneImage(&header);
    } catch (const cv::Exception&) {
        return nullptr;
    }
}

int SaveImage(const char* path, const IplImage* image)
{
    if (!path || !image)
        return 0;
    try {
        return cv::imwrite(path, cv::cvarrToMat(image)) ? 1 : 0;
    } catch (const cv::Exception&) {
        return 0;
    }
}

} // namespace cvcompat
