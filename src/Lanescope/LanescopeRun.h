#pragma once
// One run of the tracker over an open video, with a window or without: the tracks file and the frame loop.
// The program runs it between its start-up and the memory file's save; a batch runs it in each of its
// workers, so that a video there gives exactly what the program's windowless run of it gives.

#include "CvAssociativeMemory.h"
#include "LanescopeState.h"
#include "VideoFrontEnd.h"

#include <cstdint>

/* What a run over one video gave. */
struct CvLanescopeRun
{
    uint64_t frames; /* video frames analysed */
    uint64_t tracks; /* tracks written to the tracks file */
    bool stopped;    /* a stop signal ended the run before the video's end */
};

/* Readies memory for the run: one read from its file tracks from the first frame; otherwise a fresh memory
   of the selection's size learns the area under the start selection on the first frame. */
void StartMemory(CvAssociativeMemory& memory, CvLanescopeState& state, bool read);

/* The run over frontEnd's open video: with "/r" the tracks file, then the frame loop from the first grab to
   ESC, a stop signal or the video's end, then the tracks file closed whole. The tracking-event handler draws
   with lanescopeState (state) and writes into lanescopeTracks, the program's one display state and tracks
   file. */
CvLanescopeRun RunLanescopeVideo(CvVideoFrontEnd& frontEnd, CvAssociativeMemory& memory,
                                 CvLanescopeState& state);
