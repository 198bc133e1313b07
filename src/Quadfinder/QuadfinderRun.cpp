#include "QuadfinderRun.h"

#include "FilmPosition.h"
#include "ProgressLine.h"
#include "SquareSearchImage.h"
#include "Squares.h"
#include "StopSignals.h"

CvQuadfinderRun RunQuadfinderVideo(CvVideoFrontEnd& frontEnd, CvSquaresFile& squaresFile)
{
    CvQuadfinderRun run = {0, 0, false};
    // One storage serves every frame: cleared after each, so memory does not grow with the video.
    CvMemStorage* storage = cvCreateMemStorage(0);
    OpenSquaresFile(squaresFile, frontEnd);
    CvProgressLine progress;
    StartProgressLine(progress, frontEnd, true);

    while (GrabFrame(frontEnd)) {
        CopyFrameToDisplay(frontEnd);
        PrepareSquareSearchImage(frontEnd.frame, frontEnd.greyImage);
        const CvSeq* squares = FindSquares(frontEnd.greyImage, storage);
        DrawSquares(frontEnd.displayImage.GetImage(), squares);
        const double position = GetFramePosition(frontEnd);
        PrintFilmPosition(position);
        WriteSquaresFrame(squaresFile, squares, position);
        ShowAndRecord(frontEnd);
        CountProgressFrame(progress);
        run.frames++;
        // Four vertices per square.
        run.squares += static_cast<uint64_t>(squares->total / 4);
        // Any key ends the run.
        run.stopped = PollKey(frontEnd) >= 0 || StopRequested();
        if (run.stopped)
            break;
        cvClearMemStorage(storage);
    }
    EndProgressLine(progress, frontEnd);
    CloseSquaresFile(squaresFile);
    cvReleaseMemStorage(&storage);
    return run;
}
