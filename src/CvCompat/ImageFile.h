#pragma once
// Image file reading and writing with the old C calls' semantics, built on cv::imread and cv::imwrite.

#include <opencv2/core/core_c.h>

namespace cvcompat {

/* Flags of LoadImage: as stored, forced to one grey channel, forced to three colour channels. */
enum { LOAD_IMAGE_UNCHANGED = -1, LOAD_IMAGE_GRAYSCALE = 0, LOAD_IMAGE_COLOR = 1 };

/* Reads the image file at path into a new image that the caller frees with cvReleaseImage; null when the
   file cannot be read. */
IplImage* LoadImage(const char* path, int flags);

/* Writes image to path in the format its extension names; non-zero on success, 0 on any failure. */
int SaveImage(const char* path, const IplImage* image);

} // namespace cvcompat
