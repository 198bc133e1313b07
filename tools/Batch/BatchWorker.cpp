// A worker: one video, run as the program's windowless run runs it, its counts reported to the batch.

#include "BatchWorker.h"

#include "StopSignals.h"

#include <opencv2/core.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

/* The descriptor the batch reads a worker's counts from. */
const int CV_BATCH_REPORT_FD = 3;

} // namespace

int FinishedVideoStatus(bool stopped, const CvResultFile& dataFile, const CvVideoFrontEnd& frontEnd,
                        bool record)
{
    if (stopped)
        return CV_BATCH_STOPPED;
    if (!dataFile.complete || dataFile.keptAs != dataFile.replacement.path)
        return CV_BATCH_NOT_WRITTEN;
    const cvcompat::ClosedVideo& video = frontEnd.recording;
    if (record && (video.name != frontEnd.outputPath || !video.flaw.empty()))
        return CV_BATCH_NOT_WRITTEN;
    return CV_BATCH_DONE;
}

int RunBatchWorker(const CvBatchProgram& program, int argc, char** argv)
{
    // The arguments after "--worker": video, unfinished base, record (0 or 1), OpenCV threads, memory file.
    if (argc != 7)
        return CV_BATCH_BAD_WORKER_ARGS;
    CvBatchJob job;
    job.video = argv[2];
    job.outputBase = argv[3];
    job.record = std::strcmp(argv[4], "1") == 0;
    job.threads = std::atoi(argv[5]);
    job.memoryFile = argv[6];
    // Videos that run side by side each take one core; OpenCV's own threads would only contend for them.
    if (job.threads > 0)
        cv::setNumThreads(job.threads);
    // A stop signal ends the video as it ends a program's run: its files are closed, under their
    // unfinished names, which the batch then leaves as they are.
    CatchStopSignals();
    CvBatchCounts counts;
    const int status = program.runVideo(job, counts);
    char report[64];
    const int length =
        std::snprintf(report, sizeof report, "%llu %llu\n", static_cast<unsigned long long>(counts.frames),
                      static_cast<unsigned long long>(counts.items));
    if (write(CV_BATCH_REPORT_FD, report, static_cast<std::size_t>(length)) != length)
        return CV_BATCH_BAD_WORKER_ARGS;
    return status;
}
