#include "ReportCapture.h"

namespace {

int Capture(int status, const char* func, const char* message, const char* file, int, void* userData)
{
    static_cast<ReportCapture*>(userData)->reports.push_back(
        {status, func ? func : "", message ? message : "", file ? file : ""});
    return 0;
}

} // namespace

ReportCapture::ReportCapture()
{
    previous = cv::redirectError(&Capture, this, &previousData);
}

ReportCapture::~ReportCapture()
{
    cv::redirectError(previous, previousData);
}
