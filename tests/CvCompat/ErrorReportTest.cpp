// CV_REPORT: a report reaches OpenCV's error handler with its code, operation and message, and returns.

#include "ErrorReport.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/core/core_c.h>

#include <string>
#include <vector>

namespace {

struct Report
{
    int status;
    std::string func, msg, file;
};
std::vector<Report> reports;

int Capture(int status, const char* func, const char* msg, const char* file, int, void*)
{
    reports.push_back(Report{status, func, msg, file});
    return 0;
}

} // namespace

TEST(ErrorReport, ReportsThroughOpenCvAndReturns)
{
    reports.clear();
    cv::ErrorCallback previous = cv::redirectError(Capture);
    testing::internal::CaptureStderr();
    CV_REPORT(CV_StsNullPtr, "CvAssociativeMemory::Read", "Null pointer");
    CV_REPORT(CV_BadImageSize, "CvAssociativeMemory::Write", "Incorrect size interest area");
    const std::string printed = testing::internal::GetCapturedStderr();
    cv::redirectError(previous);

    ASSERT_EQ(reports.size(), 2u) << "both reports return to the caller";
    EXPECT_EQ(reports[0].status, CV_StsNullPtr);
    EXPECT_EQ(reports[0].func, "CvAssociativeMemory::Read");
    EXPECT_EQ(reports[0].msg, "Null pointer");
    EXPECT_NE(reports[0].file.find("ErrorReportTest.cpp"), std::string::npos);
    EXPECT_EQ(reports[1].status, CV_BadImageSize);
    EXPECT_EQ(printed, "") << "the installed handler had the reports: printed once, not twice";

    // Without a handler of the caller's, the report is printed.
    testing::internal::CaptureStderr();
    CV_REPORT(CV_BadImageSize, "CvAssociativeMemory::Write", "Incorrect size interest area");
    const std::string unhandled = testing::internal::GetCapturedStderr();
    EXPECT_NE(unhandled.find("Incorrect size interest area"), std::string::npos) << unhandled;
}
