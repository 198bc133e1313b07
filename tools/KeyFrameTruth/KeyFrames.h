#pragma once
// KeyFrames: ground truth annotated by hand at key frames and filled in between them.
//
//     std::vector<TruthBox> keys;
//     std::string error;
//     if (!ReadTruthBoxes(in, cv::Size(768, 576), keys, error))
//         fail(error);
//     std::cout << TruthText(InterpolateKeys(keys));
//
// Keys and the ground truth made from them share one layout, MOTChallenge ground truth:
// "frame,id,left,top,width,height,flag,class,visibility", frames from 1, boxes in the video file's pixels
// (top-left origin). An id's boxes run without a break from its first key frame to its last; each frame
// between two keys takes the straight line between them, so a key is needed wherever a person turns,
// stops or is hidden. A person who leaves the picture and comes back is a new id.

#include <opencv2/core.hpp>

#include <istream>
#include <string>
#include <vector>

/* One box of ground truth. */
struct TruthBox
{
    int frame = 0;         /* frame number, 1 upwards */
    int id = 0;            /* the person (trajectory) it belongs to */
    cv::Rect2d box;        /* left, top, width, height in pixels of the video file */
    int flag = 1;          /* 1: score this box; 0: it could not be placed, ignore it */
    int type = 1;          /* the object class, 1 for a pedestrian */
    double visibility = 1; /* the share of the object in view, 0..1 */
};

/* Reads the boxes of a ground-truth text from in into boxes, in their order in the text. False, with a
   message naming the line, when a line lacks one of the nine columns, a frame or id is not a whole number
   from 1, a flag not 0 or 1, a visibility outside 0..1, a box is empty or reaches outside frameSize, an id
   appears twice in a frame, or one id changes its class. */
bool ReadTruthBoxes(std::istream& in, cv::Size frameSize, std::vector<TruthBox>& boxes, std::string& error);

/* Every box of the trajectories that keys mark, sorted by frame and then id: the keys themselves and, for
   each frame between two keys of one id, the box on the straight line between them with its edges
   rounded to whole pixels, the visibility interpolated likewise and flag 1 only where both keys have it. */
std::vector<TruthBox> InterpolateKeys(const std::vector<TruthBox>& keys);

/* boxes as ground-truth text, one line per box in their order. */
std::string TruthText(const std::vector<TruthBox>& boxes);
