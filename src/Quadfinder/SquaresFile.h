#pragma once
// Quadfinder's squares file "<base>_squares.csv", written with "/r" beside the recording: the header
// "frame,position_ms,x1,y1,x2,y2,x3,y3,x4,y4", then one line per square found, with its corners in the
// order found and in the coordinates of the video file as players show it (the program analyses its frames
// upside down).

#include "ResultFile.h"

#include <opencv2/core/core_c.h>

#include <cstdint>

/* The squares file of a run. */
struct CvSquaresFile
{
    CvResultFile out;         /* the file; not open without "/r" or when it could not be made */
    int frameHeight = 0;      /* rows of the analysed frames, to turn corners back */
    uint64_t frameNumber = 0; /* number of the last frame written, from 1 */
};

/* With "/r", creates the squares file of frontEnd's run and writes its header; one line on standard error
   when it cannot be made, and the run goes on without it. */
void OpenSquaresFile(CvSquaresFile& squaresFile, const CvVideoFrontEnd& frontEnd);

/* Writes the squares of the next video frame (a FindSquares result) at its position in milliseconds, as
   the position line takes it, and flushes them. */
void WriteSquaresFrame(CvSquaresFile& squaresFile, const CvSeq* squares, double positionMs);

/* Flushes and closes the file; nothing when it is not open. */
void CloseSquaresFile(CvSquaresFile& squaresFile);
