#pragma once
// One way for the system's own code to report an error through OpenCV's error facility and go on.
//
// OpenCV 4 ends every cvError by throwing cv::Exception, after calling the handler installed with
// cv::redirectError, if any. The memory and the tracker report and then return without effect, and the
// programs keep running after a report, so the exception is absorbed here and, unless such a handler took
// the report, printed to standard error as OpenCV's own handler words it.

namespace cv {
class Exception;
}

/* Reports status/func/msg at file:line through cvError, then returns. */
void cvReportError(int status, const char* func, const char* msg, const char* file, int line);

/* Ends the report of an OpenCV call that failed with e, which OpenCV has already handed to the handler
   installed with cv::redirectError, if any; without such a handler it is printed, as cvReportError does. */
void cvReportException(const cv::Exception& e);

/* Reports from the current source line: CV_REPORT(CV_StsNullPtr, "Cls::Op", "message"). */
#define CV_REPORT(status, func, msg) cvReportError((status), (func), (msg), __FILE__, __LINE__)
