// Quadfinder: finds squares in a video shown in the window "Result".

#include "VideoFrontEnd.h"

int main(int argc, char** argv)
{
    CvVideoFrontEnd frontEnd;

    if (!StartVideoFrontEnd(frontEnd, argc, argv, CV_FE_QUADFINDER_HELP))
        return -1;
    CreateResultWindow();

    while (GrabFrame(frontEnd)) {
        CopyFrameToDisplay(frontEnd);
        ShowAndRecord(frontEnd);
        // Any key ends the run.
        if (PollKey() >= 0)
            break;
    }

    ReleaseVideoFrontEnd(frontEnd);
    return 0;
}
