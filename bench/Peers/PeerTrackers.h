#pragma once
// PeerTrackers: the methods Lanescope is measured against on the same videos. Each one follows objects over
// the frames of a video, as decoded (top-left origin), and names a box per object and frame.
//
//   - OpenCV's single-object trackers (KCF, CSRT), one per ground-truth object, each started from the
//     object's true box once it is wholly in view, again at each passage (a vehicle of the synthetic scene
//     that drives out comes back in under the same id): what a user gets who points at every vehicle once
//     as it comes into view.
//   - The fixed-camera pipeline: MOG2 background subtraction, the foreground cleaned by opening and closing,
//     connected components as boxes, each box given the identity of the live track it overlaps best
//     (optimal assignment at IoU >= 0.3), new identities for the rest. It needs neither teaching nor
//     first boxes, but it needs a still camera and loses vehicles that stop.
//
//     std::unique_ptr<PeerMethod> kcf = MakeSingleObjectPeer(PeerKind::Kcf, truth);
//     for (int frame = 1; video.read(image); ++frame)
//         for (const PeerBox& b : kcf->Follow(frame, image))
//             write(frame, b);

#include "TrackingEval.h"

#include <opencv2/core.hpp>

#include <memory>
#include <vector>

/* A box a method names in one frame. */
struct PeerBox
{
    int id;       /* the method's identity of the object, the same across frames */
    cv::Rect box; /* in pixels of the video as decoded */
    int type;     /* the class the method knows the object by; -1 when it knows none */
};

/* One method of following objects over the frames of a video. */
class PeerMethod
{
  public:
    virtual ~PeerMethod() = default;

    /* The objects in image, the video's frame number frame (1 upwards; called for every frame in order). */
    virtual std::vector<PeerBox> Follow(int frame, const cv::Mat& image) = 0;
};

/* The single-object trackers of OpenCV that are measured. */
enum class PeerKind {
    Kcf, /* kernelised correlation filter */
    Csrt /* discriminative correlation filter with channel and spatial reliability */
};

/* One tracker of kind per object of truth, with the object's id and class, started in each span of frames
   in which truth shows the object at its first true box clear of the frame's edge; a tracker stops when it
   reports a failure or its box leaves the frame by half. */
std::unique_ptr<PeerMethod> MakeSingleObjectPeer(PeerKind kind, const std::vector<MotBox>& truth);

/* The fixed-camera pipeline; foreground blobs smaller than minArea pixels are left out. */
std::unique_ptr<PeerMethod> MakeBackgroundPeer(int minArea);
