#pragma once
// What the two ways of teaching share: the walk over the taught frames and the tests of a box.

#include "Teaching.h"

#include <vector>

/* Calls teach(frameSize, boxes) for every taught frame, that frame handed to memory as the grey image
   Lanescope makes of it. False when the video cannot be opened. */
template <class Teach>
bool ForEachTaughtFrame(CvAssociativeMemory& memory, const std::string& videoPath,
                        const CvAnnotations& annotations, const CvTeachingBudget& budget, Teach teach)
{
    cv::VideoCapture video;
    if (!OpenVideo(video, videoPath))
        return false;
    cv::Mat frame, grey;
    for (int k = 0; k < budget.frames && video.read(frame); k++) {
        const auto boxes = annotations.byFrame.find(k);
        if (k % budget.every != 0 || boxes == annotations.byFrame.end() || frame.type() != CV_8UC3)
            continue;
        SetDecodedFrame(memory, frame, grey);
        teach(frame.size(), boxes->second);
    }
    return true;
}

/* Whether budget teaches the object of b at all. */
bool Chosen(const CvAnnotatedBox& b, const CvTeachingBudget& budget);

/* Whether box lies in a frame of the given size clear of its edges: a box that reaches an edge may hold
   only the part of its object that is in view. */
bool InsideFrame(const cv::Rect& box, const cv::Size& frame);

/* Intersection over union of two boxes. */
double Overlap(const cv::Rect& a, const cv::Rect& b);

/* The smallest overlap with an object's box at which a recognised window counts as finding the object. */
const double CV_LS_RECALL_OVERLAP = 0.5;
