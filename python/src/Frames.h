#pragma once
// Frames handed in from Python: any object with the buffer protocol (NumPy arrays as cv2 gives them,
// memoryviews) holding 8-bit BGR or grey pixels, seen in place as an OpenCV image.

#include <opencv2/core.hpp>
#include <pybind11/pybind11.h>

/* A frame seen in place: image is a header over the caller's pixels, which info keeps alive. */
struct CvPyFrame
{
    pybind11::buffer_info info; /* the buffer request that pins the caller's memory */
    cv::Mat image;              /* rows x cols, CV_8UC3 (BGR) or CV_8UC1 (grey), no copy */
};

/* Sees frame in place; TypeError for values that are not 8-bit unsigned, ValueError for a shape that is no
   image (not rows x cols or rows x cols x 1 or 3, or empty) or pixels that do not lie side by side in rows.
 */
CvPyFrame ViewFrame(const pybind11::buffer& frame);

/* The BGR image the programs analyse for a frame: the frame itself when it is BGR and upright, otherwise
   work, made from it (grey turned to BGR, which the grey conversion turns back exactly) and turned upside
   down when upsideDown. */
const cv::Mat& AnalysedBgr(const cv::Mat& frame, bool upsideDown, cv::Mat& work);
