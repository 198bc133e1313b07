// Lanescope: follows objects, typically vehicles, in a video shown in the window "Result".

#include "VideoFrontEnd.h"

/* Key code of ESC, which ends the run. */
static const int KEY_ESCAPE = 27;

int main(int argc, char** argv)
{
    CvVideoFrontEnd frontEnd;

    if (!StartVideoFrontEnd(frontEnd, argc, argv, CV_FE_LANESCOPE_HELP))
        return -1;
    CreateResultWindow();

    for (;;) {
        if (!GrabFrame(frontEnd))
            break;
        CopyFrameToDisplay(frontEnd);
        ShowAndRecord(frontEnd);
        // Keys are told apart by their low 8 bits.
        if ((PollKey() & 255) == KEY_ESCAPE)
            break;
    }

    ReleaseVideoFrontEnd(frontEnd);
    return 0;
}
