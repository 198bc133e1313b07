#include "Reports.h"

#include <opencv2/core.hpp>

#include <mutex>

namespace {

/* The collection of the calling thread's open scope, or NULL. */
thread_local std::vector<CvReport>* collected = nullptr;

cv::ErrorCallback previousHandler = nullptr;
void* previousData = nullptr;

int CollectReport(int status, const char* func, const char* msg, const char* file, int line, void* /*data*/)
{
    if (collected) {
        collected->push_back(CvReport{status, func ? func : "", msg ? msg : ""});
        return 0;
    }
    // Someone else's call in the same process, cv2's for one: its report goes where it went before.
    return previousHandler ? previousHandler(status, func, msg, file, line, previousData) : 0;
}

std::string Describe(const std::vector<CvReport>& reports)
{
    std::string text;
    for (const CvReport& r : reports) {
        const std::string one = r.function.empty() ? r.message : r.function + ": " + r.message;
        // A report made twice in one call is said once.
        if (text.find(one) != std::string::npos)
            continue;
        text += text.empty() ? one : "; " + one;
    }
    return text;
}

} // namespace

CvReportedError::CvReportedError(const std::vector<CvReport>& reports) : std::runtime_error(Describe(reports))
{
}

void InstallReportHandler()
{
    static std::once_flag installed;
    std::call_once(installed,
                   [] { previousHandler = cv::redirectError(CollectReport, nullptr, &previousData); });
}

CvReportScope::CvReportScope()
{
    collected = &reports;
}

CvReportScope::~CvReportScope()
{
    collected = nullptr;
}

void CvReportScope::ThrowIfReported() const
{
    if (!reports.empty())
        throw CvReportedError(reports);
}
