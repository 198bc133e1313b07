#pragma once
// A video source with the old C capture calls' semantics, built on cv::VideoCapture.
//
// OpenCV 4 still exports the C capture functions but they only print a notice and return null, so the
// programs go through these instead. The property ids are the CV_CAP_PROP_* values of the C interface.

#include <opencv2/core/core_c.h>
#include <opencv2/videoio/legacy/constants_c.h>

#include <string>

namespace cvcompat {

/* An open file or camera source; opaque to callers. */
struct Capture;

/* Opens the video file at path; null when it cannot be opened. */
Capture* CreateFileCapture(const char* path);

/* Opens the Video4Linux capture device with the given index; null when it cannot be opened. */
Capture* CreateCameraCapture(int index);

/* Grabs and decodes the next frame as an 8-bit, 3-channel image owned by the capture and valid until the
   next grab or the release; null at the end of the video or on a null capture. */
IplImage* QueryFrame(Capture* capture);

/* Reads a CV_CAP_PROP_* property (position as AVI ratio, frame width, height, rate, position in ms); 0 when
   the capture is null or the property unknown. */
double GetCaptureProperty(Capture* capture, int propertyId);

/* Sets a CV_CAP_PROP_* property; returns non-zero on success. */
int SetCaptureProperty(Capture* capture, int propertyId, double value);

/* The name under which FFmpeg reads or writes the file at path, whatever characters the path holds. */
std::string FileUrl(const char* path);

/* Closes the source and sets *capture to null; tolerates a null pointer at either level. */
void ReleaseCapture(Capture** capture);

} // namespace cvcompat
