// QuadfinderBatch: Quadfinder over many videos.

#include "BatchWorker.h"
#include "QuadfinderRun.h"

namespace {

/* One video as a windowless "Quadfinder video.avi /r" would run it. */
int RunQuadfinderBatchVideo(const CvBatchJob& job, CvBatchCounts& counts)
{
    CvVideoFrontEnd frontEnd;
    if (!StartWindowlessVideo(frontEnd, job.video.c_str(), job.outputBase.c_str(), job.record))
        return CV_BATCH_NOT_OPENED;
    CvSquaresFile squaresFile;
    const CvQuadfinderRun run = RunQuadfinderVideo(frontEnd, squaresFile);
    ReleaseVideoFrontEnd(frontEnd);
    counts.frames = run.frames;
    counts.items = run.squares;
    return FinishedVideoStatus(run.stopped, squaresFile.out, frontEnd, job.record);
}

} // namespace

int main(int argc, char** argv)
{
    const CvBatchProgram program = {"QuadfinderBatch", "Quadfinder", "_squares.csv",
                                    "squares",         false,        RunQuadfinderBatchVideo};
    return RunBatchTool(program, argc, argv);
}
