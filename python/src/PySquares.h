#pragma once
// lanescope.find_squares: Quadfinder's square search on a frame handed in from Python.

#include <opencv2/core.hpp>

#include <array>
#include <vector>

/* The 4 corners of one square, in the order the search found them. */
typedef std::array<cv::Point, 4> CvPySquare;

/* The squares Quadfinder finds in frame, in its order, with their corners in the frame's own coordinates;
   with upsideDown the frame is turned as the programs turn theirs, so that the corners equal the squares
   file's. Called without the GIL. */
std::vector<CvPySquare> FindFrameSquares(const cv::Mat& frame, bool upsideDown);
