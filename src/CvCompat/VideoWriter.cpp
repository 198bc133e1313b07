#include "VideoWriter.h"

#include "SafeReplace.h"
#include "VideoCapture.h"

#include <opencv2/core/utils/logger.hpp>
#include <opencv2/videoio.hpp>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace cvcompat {

struct VideoWriter
{
    cv::VideoWriter output; /* the encoder */
    CvSize frameSize;       /* the size every frame must have */
    int channels;           /* 3 for a colour video, 1 otherwise */
    Replacement file;       /* the file the frames go into, held open and locked until it is named */
    uint64_t frames;        /* frames the encoder took */
    bool encoderFailed;     /* the encoder threw on a frame it was handed */
};

/* Opens the encoder on a fresh file beside path; null with error set to the file system's errno, or left
   alone when the encoder refused. */
static VideoWriter* OpenOnFreshFile(const char* path, int fourcc, double fps, CvSize frameSize, int isColor,
                                    int& error)
{
    // An older video its owner made read-only is replaced like any other.
    Replacement file;
    if (!BeginReplacement(file, path, false)) {
        error = errno;
        return nullptr;
    }
    VideoWriter* writer = nullptr;
    try {
        cv::VideoWriter output(FileUrl(file.fresh.c_str()), cv::CAP_FFMPEG, fourcc, fps,
                               cv::Size(frameSize.width, frameSize.height), isColor != 0);
        if (output.isOpened()) {
            writer = new VideoWriter;
            // cv::VideoWriter has no move assignment in OpenCV 4.6: the copy shares the opened encoder.
            writer->output = output;
            writer->frameSize = frameSize;
            writer->channels = isColor ? 3 : 1;
            writer->file = file;
            writer->frames = 0;
            writer->encoderFailed = false;
        }
    } catch (const cv::Exception&) {
    }
    if (!writer)
        DiscardReplacement(file);
    return writer;
}

VideoWriter* CreateVideoWriter(const char* path, int fourcc, double fps, CvSize frameSize, int isColor,
                               int* failure)
{
    int error = 0;
    VideoWriter* writer = nullptr;
    if (path && fps > 0.0 && frameSize.width > 0 && frameSize.height > 0)
        writer =
            OpenOnFreshFile(path, fourcc == -1 ? FOURCC_DEFAULT : fourcc, fps, frameSize, isColor, error);
    if (failure)
        *failure = error;
    return writer;
}

int WriteFrame(VideoWriter* writer, const IplImage* image)
{
    if (!writer || !image)
        return 0;
    // The encoder would silently drop or misread a frame of another shape, so refuse it openly.
    if (image->width != writer->frameSize.width || image->height != writer->frameSize.height ||
        image->nChannels != writer->channels || image->depth != IPL_DEPTH_8U)
        return 0;
    try {
        writer->output.write(cv::cvarrToMat(image));
        writer->frames++;
        return 1;
    } catch (const cv::Exception&) {
        writer->encoderFailed = true;
        return 0;
    }
}

/* Reads the closed file back far enough to know that it holds the frames written: it opens as a video,
   counts them, and gives its last one. The frames between are not decoded again, which would cost as much
   as the run that made them. */
static bool HoldsEveryFrame(const VideoWriter& writer)
{
    // What the library says about a file that is cut short is the reason for the check, not news.
    const cv::utils::logging::LogLevel level =
        cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    bool holds = false;
    try {
        cv::VideoCapture check(FileUrl(writer.file.fresh.c_str()), cv::CAP_FFMPEG);
        const double frames = static_cast<double>(writer.frames);
        holds = check.isOpened() && check.get(cv::CAP_PROP_FRAME_COUNT) == frames;
        cv::Mat last;
        // A file whose index is lost seeks nowhere; reading the last frame leaves the position just after it.
        if (holds && writer.frames > 0)
            holds = check.set(cv::CAP_PROP_POS_FRAMES, frames - 1) && check.read(last) &&
                    check.get(cv::CAP_PROP_POS_FRAMES) == frames;
    } catch (const cv::Exception&) {
        holds = false;
    }
    cv::utils::logging::setLogLevel(level);
    return holds;
}

/* Why the closed video does not hold every frame it took, or empty when it does. */
static std::string FindFlaw(const VideoWriter& writer)
{
    if (writer.encoderFailed)
        return "the encoder failed on a frame";
    if (!SyncReplacement(writer.file))
        return std::string("the file system reported an error (") + std::strerror(errno) + ")";
    if (!HoldsEveryFrame(writer))
        return "the file does not hold them all";
    return std::string();
}

bool ReleaseVideoWriter(VideoWriter** writer, ClosedVideo* closed)
{
    if (!writer || !*writer)
        return true;
    VideoWriter* closing = *writer;
    closing->output.release();
    ClosedVideo result;
    result.frames = closing->frames;
    result.flaw = FindFlaw(*closing);
    bool placed = false;
    if (result.flaw.empty()) {
        placed = CommitReplacement(closing->file);
        result.renameError = placed ? 0 : errno;
        result.name = placed ? closing->file.path : closing->file.fresh;
    } else {
        result.name = KeepReplacementAsIncomplete(closing->file);
    }
    EndReplacement(closing->file);
    delete closing;
    *writer = nullptr;
    if (closed)
        *closed = result;
    return placed;
}

} // namespace cvcompat
