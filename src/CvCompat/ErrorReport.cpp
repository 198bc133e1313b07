#include "ErrorReport.h"

#include <opencv2/core/core_c.h>

#include <cstdio>
#include <opencv2/core.hpp>

void cvReportError(int status, const char* func, const char* msg, const char* file, int line)
{
    try {
        cvError(status, func, msg, file, line);
    } catch (const cv::Exception& e) {
        cvReportException(e);
    }
}

void cvReportException(const cv::Exception& e)
{
    // A handler installed with cv::redirectError has already had the report; printing it too would say it
    // twice. Asking for the handler means swapping it out for a moment.
    void* userData = NULL;
    const cv::ErrorCallback handler = cv::redirectError(NULL, NULL, &userData);
    cv::redirectError(handler, userData);
    if (!handler) {
        std::fprintf(stderr, "%s\n", e.what());
        std::fflush(stderr);
    }
}
