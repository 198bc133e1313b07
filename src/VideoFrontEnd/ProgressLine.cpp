#include "ProgressLine.h"

#include <opencv2/core.hpp>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

/* Shortest time between two drawings of the line, in seconds. */
const double CV_FE_PROGRESS_PERIOD = 0.25;
/* Fewest bytes a frame takes in an AVI file: the header of its chunk, even when the chunk holds no data. */
const int64_t CV_FE_LEAST_FRAME_BYTES = 8;

/* The frame count of fe's video as the capture reports it, or 0 when it is unknown (a camera) or more than
   the file could hold: an AVI written through a pipe reports a count its header never got (1073741824). */
int64_t PlausibleFrameCount(const CvVideoFrontEnd& fe)
{
    struct stat info;
    if (fe.cameraSource || stat(fe.inputPath, &info) != 0 || !S_ISREG(info.st_mode))
        return 0;
    const double count = cvcompat::GetCaptureProperty(fe.capture, CV_CAP_PROP_FRAME_COUNT);
    const int64_t most = info.st_size / CV_FE_LEAST_FRAME_BYTES;
    return count > 0 && count <= static_cast<double>(most) ? static_cast<int64_t>(count) : 0;
}

void DrawProgressLine(CvProgressLine& line, int64_t now)
{
    const double seconds = static_cast<double>(now - line.startTick) / cv::getTickFrequency();
    const double rate = seconds > 0 ? static_cast<double>(line.framesDone) / seconds : 0.0;
    // The carriage return redraws the line in place; the spaces cover what a longer line left.
    if (line.frameCount > 0)
        std::fprintf(stderr, "\r%lld of %lld frames, %.1f frames/s   ", static_cast<long long>(line.framesDone),
                     static_cast<long long>(line.frameCount), rate);
    else
        std::fprintf(stderr, "\r%lld frames, %.1f frames/s   ", static_cast<long long>(line.framesDone), rate);
    std::fflush(stderr);
    line.shownTick = now;
}

} // namespace

void StartProgressLine(CvProgressLine& line, const CvVideoFrontEnd& fe, bool perFrameOutput)
{
    line.active = fe.windowless && isatty(STDERR_FILENO) && !(perFrameOutput && isatty(STDOUT_FILENO));
    line.frameCount = PlausibleFrameCount(fe);
    line.framesDone = 0;
    line.startTick = cv::getTickCount();
    line.shownTick = 0;
}

void CountProgressFrame(CvProgressLine& line)
{
    line.framesDone++;
    // A video that goes on past its count had it wrong.
    if (line.framesDone > line.frameCount)
        line.frameCount = 0;
    if (!line.active)
        return;
    const int64_t now = cv::getTickCount();
    const double sinceShown = static_cast<double>(now - line.shownTick);
    if (line.shownTick == 0 || sinceShown >= CV_FE_PROGRESS_PERIOD * cv::getTickFrequency())
        DrawProgressLine(line, now);
}

void EndProgressLine(CvProgressLine& line, const CvVideoFrontEnd& fe)
{
    if (!line.active)
        return;
    // GrabFrame leaves no frame once the video has ended; one that ended short of its count (a file cut
    // short) had it wrong. A run stopped earlier keeps its count.
    if (!fe.frame && line.framesDone != line.frameCount)
        line.frameCount = 0;
    DrawProgressLine(line, cv::getTickCount());
    std::fputs("\n", stderr);
    std::fflush(stderr);
    line.active = false;
}
