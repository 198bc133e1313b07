#include "ProgressLine.h"

#include <opencv2/core.hpp>

#include <cstdio>
#include <unistd.h>

namespace {

/* Shortest time between two drawings of the line, in seconds. */
const double CV_FE_PROGRESS_PERIOD = 0.25;

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
    const double count = fe.cameraSource ? 0.0 : cvcompat::GetCaptureProperty(fe.capture, CV_CAP_PROP_FRAME_COUNT);
    line.frameCount = count > 0 ? static_cast<int64_t>(count) : 0;
    line.framesDone = 0;
    line.startTick = cv::getTickCount();
    line.shownTick = 0;
}

void CountProgressFrame(CvProgressLine& line)
{
    line.framesDone++;
    if (!line.active)
        return;
    const int64_t now = cv::getTickCount();
    if (line.shownTick == 0 || now - line.shownTick >= CV_FE_PROGRESS_PERIOD * cv::getTickFrequency())
        DrawProgressLine(line, now);
}

void EndProgressLine(CvProgressLine& line)
{
    if (!line.active)
        return;
    DrawProgressLine(line, cv::getTickCount());
    std::fputs("\n", stderr);
    std::fflush(stderr);
    line.active = false;
}
