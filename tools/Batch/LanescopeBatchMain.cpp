// LanescopeBatch: Lanescope over many videos, each from the same memory, which no video changes.

#include "BatchWorker.h"
#include "LanescopeRun.h"
#include "LanescopeState.h"
#include "MemoryFile.h"
#include "TracksFile.h"

namespace {

/* One video as a windowless "Lanescope video.avi /r" would run it, from the memory file's bytes; the
   memory is never saved. */
int RunLanescopeBatchVideo(const CvBatchJob& job, CvBatchCounts& counts)
{
    CvVideoFrontEnd frontEnd;
    CvAssociativeMemory memory;
    CvLanescopeState& state = lanescopeState;
    InitLanescopeState(state);
    if (!StartWindowlessVideo(frontEnd, job.video.c_str(), job.outputBase.c_str(), job.record))
        return CV_BATCH_NOT_OPENED;
    CvMemoryFileStatus status;
    if (!LoadMemoryFile(memory, job.memoryFile.c_str(), &status))
        return CV_BATCH_NO_MEMORY;
    StartMemory(memory, state, true);
    const CvLanescopeRun run = RunLanescopeVideo(frontEnd, memory, state);
    ReleaseVideoFrontEnd(frontEnd);
    counts.frames = run.frames;
    counts.items = run.tracks;
    return FinishedVideoStatus(run.stopped, lanescopeTracks.out, frontEnd, job.record);
}

} // namespace

int main(int argc, char** argv)
{
    const CvBatchProgram program = {"LanescopeBatch", "Lanescope", "_tracks.txt",
                                    "tracks",         true,        RunLanescopeBatchVideo};
    return RunBatchTool(program, argc, argv);
}
