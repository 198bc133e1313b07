// Lanescope: learns the objects the user marks in a video and follows them, drawing them in "Result".

#include "CommandLine.h"
#include "DisplayHandlers.h"
#include "FrameLoop.h"
#include "LanescopeRun.h"
#include "LanescopeSettings.h"
#include "LanescopeState.h"
#include "MemoryFileSession.h"
#include "RunSummary.h"
#include "StopSignals.h"
#include "TracksFile.h"
#include "VideoFrontEnd.h"

#include <opencv2/highgui/highgui_c.h>

#include <cstdio>

int main(int argc, char** argv)
{
    // From here on Ctrl+C, SIGTERM, SIGHUP and a broken pipe end the run as ESC does; the memory is saved.
    CatchStopSignals();
    // Destroyed in reverse: the memory object first, then the display image holder inside the front-end.
    CvVideoFrontEnd frontEnd;
    CvAssociativeMemory memory;
    CvLanescopeState& state = lanescopeState;
    // This gives the selection its start rectangle too, whose size a fresh memory takes below.
    InitLanescopeState(state);

    if (!StartVideoFrontEnd(frontEnd, argc, argv, CV_FE_LANESCOPE_HELP))
        return -1;

    CvMemoryFileSession memoryFile;
    StartMemory(memory, state, OpenMemoryFile(memoryFile, memory, CV_LS_MEMORY_FILE));
    std::printf("%s", CV_LS_HOT_KEY_HELP);
    std::fflush(stdout);
    // Without a window there is no mouse to pick with, and the hot keys cannot come.
    CreateResultWindow(frontEnd);
    if (!frontEnd.windowless)
        cvSetMouseCallback(CV_FE_WINDOW_NAME, OnSelectionMouse, NULL);

    RunLanescopeVideo(frontEnd, memory, state);

    const bool memorySaved = CloseMemoryFile(memoryFile, memory);
    ReleaseVideoFrontEnd(frontEnd);
    PrintRunSummary(frontEnd, lanescopeTracks.out, CV_LS_MEMORY_FILE, memorySaved);
    return 0;
}
