#pragma once
// Lanescope's two callbacks: OnTrackingEvent draws what ObjectTracking reports onto the display image, and
// OnSelectionMouse moves the selection rectangle while the user picks an object and arms training on a
// left click. Both work on lanescopeState.

#include "CvAssociativeMemory.h"

#include <cstdint>

/* Number of centres a trajectory keeps. */
const int CV_LS_TRAJECTORY_POINTS = 100;

/* A track's trajectory, attached to the track as its user data: 201 32-bit integers, zero when made. */
struct CvLanescopeTrajectory
{
    int32_t
        points[2 * CV_LS_TRAJECTORY_POINTS]; /* (x, y) centres, oldest first; the newest is the last pair */
    int32_t count;                           /* valid points, 0..100: the last count pairs */
};

/* The tracking-event function: draws each event onto the display IplImage given as userPointer. */
void OnTrackingEvent(int event, int* type, CvAMObjectInfo* info, void* userPointer);

/* The mouse callback of "Result": while picking, the selection's corner follows the pointer; a left
   press then arms one training frame and ends picking. */
void OnSelectionMouse(int event, int x, int y, int flags, void* param);
