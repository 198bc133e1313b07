// CV_REPORT: a report reaches OpenCV's error handler with its code, operation and message, and returns.

#include "ErrorReport.h"
#include "ReportCapture.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/core/core_c.h>

#include <string>
#include <vector>

TEST(ErrorReport, ReportsThroughOpenCvAndReturns)
{
    std::vector<CapturedReport> reports;
    std::string printed;
    {
        ReportCapture capture;
        testing::internal::CaptureStderr();
        CV_REPORT(CV_StsNullPtr, "CvAssociativeMemory::Read", "Null pointer");
        CV_REPORT(CV_BadImageSize, "CvAssociativeMemory::Write", "Incorrect size interest area");
        printed = testing::internal::GetCapturedStderr();
        reports = capture.reports;
    }

    ASSERT_EQ(reports.size(), 2u) << "both reports return to the caller";
    EXPECT_EQ(reports[0].status, CV_StsNullPtr);
    EXPECT_EQ(reports[0].func, "CvAssociativeMemory::Read");
    EXPECT_EQ(reports[0].message, "Null pointer");
    EXPECT_NE(reports[0].file.find("ErrorReportTest.cpp"), std::string::npos);
    EXPECT_EQ(reports[1].status, CV_BadImageSize);
    EXPECT_EQ(printed, "") << "the installed handler had the reports: printed once, not twice";

    // Without a handler of the caller's, the report is printed.
    testing::internal::CaptureStderr();
    CV_REPORT(CV_BadImageSize, "CvAssociativeMemory::Write", "Incorrect size interest area");
    const std::string unhandled = testing::internal::GetCapturedStderr();
    EXPECT_NE(unhandled.find("Incorrect size interest area"), std::string::npos) << unhandled;
}
