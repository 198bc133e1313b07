// Lanescope: learns the objects the user marks in a video and follows them, drawing them in "Result".

#include "CommandLine.h"
#include "DisplayHandlers.h"
#include "FrameLoop.h"
#include "LanescopeSettings.h"
#include "LanescopeState.h"
#include "MemoryFileSession.h"
#include "ProgressLine.h"
#include "RunSummary.h"
#include "StopSignals.h"
#include "TracksFile.h"
#include "VideoFrontEnd.h"

#include <opencv2/highgui/highgui_c.h>

#include <cstdio>

namespace {

/* The frame loop, from the first grab to ESC, a stop signal or the end of the video. */
void RunFrameLoop(CvVideoFrontEnd& frontEnd, CvAssociativeMemory& memory, CvLanescopeState& state)
{
    CvProgressLine progress;
    StartProgressLine(progress, frontEnd, false);
    int currentType = 1;
    for (;;) {
        // While picking, the same frame is worked on again.
        if (!state.pickMode && !GrabFrame(frontEnd))
            break;
        BeginTracksFrame(lanescopeTracks, !state.pickMode);
        ProcessFrame(memory, currentType, frontEnd.frame, frontEnd.displayImage.GetImage(),
                     frontEnd.greyImage);
        ShowAndRecord(frontEnd);
        if (!state.pickMode)
            CountProgressFrame(progress);
        // The mouse handler runs inside the poll and may end picking, so pick mode is read after it.
        const int pressed = PollKey();
        const CvHotKeyResult key = HandleHotKey(pressed, state.pickMode, currentType);
        if (key.quit || StopRequested())
            break;
        state.pickMode = key.pickMode;
        currentType = key.currentType;
    }
    EndProgressLine(progress, frontEnd);
}

} // namespace

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
    if (OpenMemoryFile(memoryFile, memory, CV_LS_MEMORY_FILE)) {
        state.trainingCounter = 0;
    } else {
        memory.Create(state.selection.width, state.selection.height, 0);
        // A fresh memory learns the object under the start rectangle on the very first frame.
        state.trainingCounter = 1;
    }
    std::printf("%s", CV_LS_HOT_KEY_HELP);
    std::fflush(stdout);
    CreateResultWindow();
    cvSetMouseCallback(CV_FE_WINDOW_NAME, OnSelectionMouse, NULL);

    OpenTracksFile(lanescopeTracks, frontEnd);
    RunFrameLoop(frontEnd, memory, state);
    CloseTracksFile(lanescopeTracks);

    const bool memorySaved = CloseMemoryFile(memoryFile, memory);
    ReleaseVideoFrontEnd(frontEnd);
    PrintRunSummary(frontEnd, lanescopeTracks.out, CV_LS_MEMORY_FILE, memorySaved);
    return 0;
}
