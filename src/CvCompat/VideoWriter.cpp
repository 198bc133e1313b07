#include "VideoWriter.h"

#include "VideoCapture.h"

#include <opencv2/videoio.hpp>

namespace cvcompat {

struct VideoWriter
{
    cv::VideoWriter output; /* the encoder */
    CvSize frameSize;       /* the size every frame must have */
    int channels;           /* 3 for a colour video, 1 otherwise */
};

VideoWriter* CreateVideoWriter(const char* path, int fourcc, double fps, CvSize frameSize, int isColor)
{
    if (!path || !(fps > 0.0) || frameSize.width <= 0 || frameSize.height <= 0)
        return nullptr;
    if (fourcc == -1)
        fourcc = FOURCC_DEFAULT;
    try {
        cv::VideoWriter output(FileUrl(path), cv::CAP_FFMPEG, fourcc, fps,
                               cv::Size(frameSize.width, frameSize.height), isColor != 0);
        if (!output.isOpened())
            return nullptr;
        VideoWriter* writer = new VideoWriter;
        writer->output = std::move(output);
        writer->frameSize = frameSize;
        writer->channels = isColor ? 3 : 1;
        return writer;
    } catch (const cv::Exception&) {
        return nullptr;
    }
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
        return 1;
    } catch (const cv::Exception&) {
        return 0;
    }
}

void ReleaseVideoWriter(VideoWriter** writer)
{
    if (!writer || !*writer)
        return;
    delete *writer;
    *writer = nullptr;
}

} // namespace cvcompat
