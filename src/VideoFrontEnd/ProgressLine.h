#pragma once
// The progress of a run without a window, on standard error when that is a terminal: frames done of the
// video's count and the frames per second so far, redrawn in place at most four times a second.

#include "VideoFrontEnd.h"

#include <cstdint>

/* What the progress line has shown. */
struct CvProgressLine
{
    bool active;        /* the run has no window and standard error is a terminal */
    int64_t frameCount; /* frames the video holds, as the capture reports it; 0 when unknown (a camera) or
                           proved wrong (more than the file could hold, or than the video gave) */
    int64_t framesDone; /* frames analysed so far */
    int64_t startTick;  /* cv::getTickCount at the start */
    int64_t shownTick;  /* cv::getTickCount when the line was last drawn; 0 before the first */
};

/* Starts the line for a run of frontEnd. perFrameOutput says the program prints a line of its own to
   standard output for every frame: on a terminal shared with standard error those lines would tear the
   progress line, so it is shown only when standard output goes elsewhere. */
void StartProgressLine(CvProgressLine& line, const CvVideoFrontEnd& frontEnd, bool perFrameOutput);

/* Counts one analysed frame and redraws the line when the last drawing is at least 250 ms old. */
void CountProgressFrame(CvProgressLine& line);

/* Draws the final count and ends the line, so that what follows starts on a line of its own. Once the video
   of frontEnd has ended, the count shows only when the frames done reached it. */
void EndProgressLine(CvProgressLine& line, const CvVideoFrontEnd& frontEnd);
