#pragma once
// Error reports captured in tests: every report made through cvError while a ReportCapture lives.

#include <opencv2/core.hpp>

#include <string>
#include <vector>

/* One report received through cv::redirectError. */
struct CapturedReport
{
    int status;
    std::string func;
    std::string message;
    std::string file;
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

  private:
    cv::ErrorCallback previous;
    void* previousData = nullptr;
};
