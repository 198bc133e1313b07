// What the batch tells its user: the progress line while it runs and the summary at its end.

#include "Batch.h"

#include <chrono>
#include <cstdio>
#include <unistd.h>

double BatchClock()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void StartBatchProgress(CvBatchProgress& progress, std::size_t total)
{
    progress = CvBatchProgress();
    progress.active = isatty(STDERR_FILENO) != 0;
    progress.total = total;
    progress.toRun = total;
    progress.start = BatchClock();
}

void DrawBatchProgress(CvBatchProgress& progress, bool now)
{
    const double clock = BatchClock();
    if (!progress.active || (!now && clock - progress.shown < 0.5))
        return;
    const double seconds = clock - progress.start;
    const double rate = seconds > 0 ? static_cast<double>(progress.frames) / seconds : 0.0;
    char left[64] = "time left unknown";
    // The videos still to run take as long, on average, as those that ran.
    if (progress.ran > 0 && progress.toRun >= progress.ran) {
        const double estimate =
            seconds / static_cast<double>(progress.ran) * static_cast<double>(progress.toRun - progress.ran);
        std::snprintf(left, sizeof left, "about %.0f min %02.0f s left",
                      static_cast<double>(static_cast<long>(estimate) / 60),
                      static_cast<double>(static_cast<long>(estimate) % 60));
    }
    std::fprintf(stderr, "\r%zu of %zu videos done, %.1f frames/s, %s   ", progress.done, progress.total,
                 rate, left);
    std::fflush(stderr);
    progress.shown = clock;
}

void ClearBatchProgress(const CvBatchProgress& progress)
{
    if (progress.active)
        std::fputs("\r\033[K", stderr);
}

void EndBatchProgress(CvBatchProgress& progress)
{
    DrawBatchProgress(progress, true);
    if (progress.active)
        std::fputs("\n", stderr);
    progress.active = false;
}

void PrintBatchSummary(const CvBatchProgram& program, const CvBatchOptions& options,
                       const std::vector<CvBatchVideo>& videos, double seconds)
{
    std::printf("%-40s %8s %8s %9s  %s\n", "video", "frames", program.itemName, "seconds", "outcome");
    uint64_t frames = 0;
    long peakKiB = 0;
    std::size_t done = 0, skipped = 0, failed = 0;
    for (const CvBatchVideo& video : videos) {
        std::printf("%-40s %8llu %8llu %9.1f  %s\n", video.path.c_str(),
                    static_cast<unsigned long long>(video.counts.frames),
                    static_cast<unsigned long long>(video.counts.items), video.seconds,
                    video.outcome.c_str());
        frames += video.counts.frames;
        peakKiB = video.peakKiB > peakKiB ? video.peakKiB : peakKiB;
        done += video.outcome == "done";
        skipped += video.outcome.compare(0, 7, "skipped") == 0;
        failed += video.failed;
    }
    std::printf("%zu videos: %zu done, %zu skipped, %zu failed, %zu not finished; %llu frames in %.1f s "
                "(%.1f frames/s) with %d worker%s, at most %.0f MiB per worker\n",
                videos.size(), done, skipped, failed, videos.size() - done - skipped - failed,
                static_cast<unsigned long long>(frames), seconds,
                seconds > 0 ? static_cast<double>(frames) / seconds : 0.0, options.workers,
                options.workers == 1 ? "" : "s", static_cast<double>(peakKiB) / 1024.0);
    std::fflush(stdout);
}
