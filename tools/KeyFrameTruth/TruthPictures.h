#pragma once
// TruthPictures: ground-truth boxes drawn on the frames of their video, to check each box by eye:
//
// - a frame sheet: one frame, or an enlarged area of it, with a labelled pixel grid to read coordinates
//   off and every box of the frame labelled with its id (and its visibility when below 1);
// - a person strip: one tile per box of one id, the area around the box enlarged to a common height, so
//   that a trajectory's boxes can be compared side by side and a box that slips off its person, or a
//   person who changes, stands out.
//
// Boxes are drawn on the pixels just outside them, so that the box's own edge pixels stay visible. Boxes
// with flag 0 are grey.

#include "KeyFrames.h"

#include <opencv2/core.hpp>

#include <vector>

/* How a frame sheet shows its frame. */
struct SheetView
{
    cv::Rect crop;      /* the area of the frame shown */
    double scale = 1.0; /* its enlargement */
    int grid = 0;       /* grid spacing in pixels of the frame, 0 for no grid; every fifth line is labelled */
};

/* The frame sheet of frame, numbered number, with boxes, its boxes. */
cv::Mat DrawFrameSheet(const cv::Mat& frame, int number, const SheetView& view, const std::vector<TruthBox>& boxes);

/* One tile of a person strip: the area of frame around box, enlarged to the tile's height, with the box
   drawn and its frame number and visibility written below. */
cv::Mat DrawStripTile(const cv::Mat& frame, const TruthBox& box);

/* tiles of one size laid out in rows of columns, in their order. */
cv::Mat LayOutTiles(const std::vector<cv::Mat>& tiles, int columns);
