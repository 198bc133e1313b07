#pragma once
// lanescope.Tracker: Lanescope's tracking step on frames handed in from Python, over one memory, with the
// identities of the program's tracks file and the events of the last step.

#include "PyMemory.h"
#include "TrackIds.h"

#include <opencv2/core.hpp>

#include <cstdint>
#include <memory>
#include <vector>

/* One live track after a step, in the frame's own coordinates. */
struct CvPyTrack
{
    uint64_t id;       /* stays with the track for its life, never given to another */
    int type;          /* the object type, 1 to 256 as taught */
    cv::Rect box;      /* left, top, width, height */
    double confidence; /* the track's confidence after this step, 0..1 */
};

/* One event of a step, as ObjectTracking raised it. */
struct CvPyEvent
{
    int code;          /* CV_AM_FRAME_START ... CV_AM_FRAME_END */
    bool hasInfo;      /* false for the start and the end of the step, which carry nothing */
    int type;          /* the data value the event carries */
    cv::Rect box;      /* the window, detection or track, in the frame's own coordinates */
    double confidence; /* the read's, the mean or the track's confidence */
    int bases;         /* the memory's base count at the time */
};

/* A tracker as Python holds it. */
struct CvPyTracker
{
    std::shared_ptr<CvPyMemory> memory; /* the memory it follows objects with, kept alive by it */
    bool upsideDown;                    /* frames are turned as the programs turn theirs */
    bool closed = false;                /* close() gave the memory back */
    cv::Size frameSize;                 /* the size of the first frame; every later one must have it */
    cv::Mat turned;                     /* the frame analysed, when it is not the caller's */
    cv::Mat grey;                       /* the grey working image */
    CvTrackIds ids;                     /* the tracks' identities, by their user blocks */
    std::vector<CvPyTrack> tracks;      /* the live tracks of the last step; memory's lock guards them */
    std::vector<CvPyEvent> events;      /* the events of the last step; memory's lock guards them */
    double workMs = 0.0;                /* the last step's own work, the frame's preparation and tracking */

    ~CvPyTracker();
};

/* A tracker over memory, which must be open and follow no other tracker's objects (ValueError). */
std::shared_ptr<CvPyTracker> CreateTracker(std::shared_ptr<CvPyMemory> memory, bool upsideDown);

/* One tracking step on frame: prepared as Lanescope prepares its frames, ObjectTracking with Lanescope's
   arguments; the live tracks after it. ValueError for a frame of another size than the first. The tracker's
   state is guarded by its memory's lock, so a step on another thread cannot change what is returned. */
std::vector<CvPyTrack> TrackFrame(CvPyTracker& tracker, const cv::Mat& frame);

/* The events of the last step. */
std::vector<CvPyEvent> LastEvents(CvPyTracker& tracker);

/* Gives the memory back: it may then serve another tracker, and this one raises ValueError. */
void CloseTracker(CvPyTracker& tracker);
