#pragma once
// The system's error reports as Python exceptions. The memory and the tracker report through cvError and go
// on; inside the package the reports of a call are collected on the calling thread instead of printed, and
// the call then raises one lanescope.Error that carries them.

#include <stdexcept>
#include <string>
#include <vector>

/* One report made through cvError. */
struct CvReport
{
    int status;           /* OpenCV status code, -10 and the like */
    std::string function; /* the reporting operation, "CvAssociativeMemory::Write" and the like */
    std::string message;  /* the report's text */
};

/* What a call raises when it was reported: the reports' text, each as "function: message". */
class CvReportedError : public std::runtime_error
{
  public:
    explicit CvReportedError(const std::vector<CvReport>& reports);
};

/* Installs, once per process, the error handler that hands reports to the thread's collection; reports made
   on a thread that collects none go to the handler that was there before, if any. */
void InstallReportHandler();

/* Collects the reports made on this thread while it lives; scopes do not nest. */
class CvReportScope
{
  public:
    CvReportScope();
    ~CvReportScope();
    CvReportScope(const CvReportScope&) = delete;
    CvReportScope& operator=(const CvReportScope&) = delete;

    /* Throws CvReportedError when anything was reported. */
    void ThrowIfReported() const;

  private:
    std::vector<CvReport> reports;
};
