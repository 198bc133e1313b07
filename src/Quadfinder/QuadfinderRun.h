#pragma once
// One run of the square detector over an open video, with a window or without: the squares file and the
// frame loop. The program runs it after its start-up; a batch runs it in each of its workers, so that a
// video there gives exactly what the program's windowless run of it gives.

#include "SquaresFile.h"
#include "VideoFrontEnd.h"

#include <cstdint>

/* What a run over one video gave. */
struct CvQuadfinderRun
{
    uint64_t frames;  /* video frames analysed */
    uint64_t squares; /* squares found in them (the squares file's rows, with "/r") */
    bool stopped;     /* a key or a stop signal ended the run before the video's end */
};

/* The run over frontEnd's open video: with "/r" the squares file, then per frame the square search, the
   drawing, the position line, the squares file's rows, the showing and recording and the key poll, until
   the video ends, a key or a stop signal; then the squares file closed whole. */
CvQuadfinderRun RunQuadfinderVideo(CvVideoFrontEnd& frontEnd, CvSquaresFile& squaresFile);
