// Quadfinder: finds squares in a video shown in the window "Result".

#include "CommandLine.h"
#include "FilmPosition.h"
#include "ProgressLine.h"
#include "RunSummary.h"
#include "SquareSearchImage.h"
#include "Squares.h"
#include "SquaresFile.h"
#include "StopSignals.h"
#include "VideoFrontEnd.h"

int main(int argc, char** argv)
{
    // From here on Ctrl+C, SIGTERM, SIGHUP and a broken pipe end the run as a key does, and the recording
    // and the squares file are closed whole.
    CatchStopSignals();
    CvVideoFrontEnd frontEnd;

    if (!StartVideoFrontEnd(frontEnd, argc, argv, CV_FE_QUADFINDER_HELP))
        return -1;
    CreateResultWindow();
    // One storage serves every frame: cleared after each, so memory does not grow with the video.
    CvMemStorage* storage = cvCreateMemStorage(0);
    CvSquaresFile squaresFile;
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
        // Any key ends the run.
        if (PollKey() >= 0 || StopRequested())
            break;
        cvClearMemStorage(storage);
    }
    EndProgressLine(progress, frontEnd);
    CloseSquaresFile(squaresFile);

    ReleaseVideoFrontEnd(frontEnd);
    cvReleaseMemStorage(&storage);
    PrintRunSummary(frontEnd, squaresFile.out);
    return 0;
}
