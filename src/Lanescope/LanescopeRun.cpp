#include "LanescopeRun.h"

#include "FrameLoop.h"
#include "ProgressLine.h"
#include "StopSignals.h"
#include "TracksFile.h"

namespace {

/* The frame loop, from the first grab to ESC, a stop signal or the end of the video. */
void RunFrameLoop(CvVideoFrontEnd& frontEnd, CvAssociativeMemory& memory, CvLanescopeState& state,
                  CvLanescopeRun& run)
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
        if (!state.pickMode) {
            CountProgressFrame(progress);
            run.frames++;
        }
        // The mouse handler runs inside the poll and may end picking, so pick mode is read after it.
        const int pressed = PollKey(frontEnd);
        const CvHotKeyResult key = HandleHotKey(pressed, state.pickMode, currentType);
        run.stopped = StopRequested();
        if (key.quit || run.stopped)
            break;
        state.pickMode = key.pickMode;
        currentType = key.currentType;
    }
    EndProgressLine(progress, frontEnd);
}

} // namespace

void StartMemory(CvAssociativeMemory& memory, CvLanescopeState& state, bool read)
{
    if (read) {
        state.trainingCounter = 0;
    } else {
        memory.Create(state.selection.width, state.selection.height, 0);
        // A fresh memory learns the object under the start rectangle on the very first frame.
        state.trainingCounter = 1;
    }
}

CvLanescopeRun RunLanescopeVideo(CvVideoFrontEnd& frontEnd, CvAssociativeMemory& memory,
                                 CvLanescopeState& state)
{
    CvLanescopeRun run = {0, 0, false};
    OpenTracksFile(lanescopeTracks, frontEnd);
    RunFrameLoop(frontEnd, memory, state, run);
    CloseTracksFile(lanescopeTracks);
    // Ids are given from 1 and never twice, and only while the file is open.
    run.tracks = lanescopeTracks.ids.nextId - 1;
    return run;
}
