// Quadfinder: finds squares in a video shown in the window "Result".

#include "CommandLine.h"
#include "QuadfinderRun.h"
#include "RunSummary.h"
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
    CreateResultWindow(frontEnd);
    CvSquaresFile squaresFile;
    RunQuadfinderVideo(frontEnd, squaresFile);

    ReleaseVideoFrontEnd(frontEnd);
    PrintRunSummary(frontEnd, squaresFile.out);
    return 0;
}
