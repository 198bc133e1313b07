#include "ErrorReport.h"

#include <opencv2/core/core_c.h>

#include <cstdio>
#include <opencv2/core.hpp>

void cvReportError(int status, const char* func, const char* msg, const char* file, int line)
{
    try {
        cvError(status, func, msg, file, line);
    } catch (const cv::Exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        std::fflush(stderr);
    }
}
