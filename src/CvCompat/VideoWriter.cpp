#include "VideoWriter.h"

#include "FreshFile.h"
#include "VideoCapture.h"

#include <opencv2/videoio.hpp>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cvcompat {

struct VideoWriter
{
    cv::VideoWriter output; /* the encoder */
    CvSize frameSize;       /* the size every frame must have */
    int channels;           /* 3 for a colour video, 1 otherwise */
    std::string path;       /* where the video goes when it is closed */
    std::string fresh;      /* the file the frames go into until then */
};

/* Makes a new empty file beside path whose name ends as path's does ("clip_out.avi" gives
   "clip_out.Ab12Cd.avi": the encoder chooses its container by that ending) and returns its name; empty,
   with errno set, when the folder allows none. */
static std::string MakeFreshFile(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        dot = path.size();
    const std::string ending = path.substr(dot);
    const std::string unique = ".XXXXXX";
    std::string stem = path.substr(nameStart, dot - nameStart);
    // The new name must fit where a name of the longest allowed length fits.
    if (stem.size() + unique.size() + ending.size() > NAME_MAX)
        stem.resize(NAME_MAX > unique.size() + ending.size() ? NAME_MAX - unique.size() - ending.size() : 0);
    std::string name = path.substr(0, nameStart) + stem + unique + ending;
    // The access a file the encoder made itself would have.
    const int fd = CreateFreshFile(name, static_cast<int>(ending.size()), DefaultFileMode());
    if (fd < 0)
        return std::string();
    close(fd);
    return name;
}

/* Opens the encoder on a fresh file beside path; null with error set to the file system's errno, or left
   alone when the encoder refused. */
static VideoWriter* OpenOnFreshFile(const char* path, int fourcc, double fps, CvSize frameSize, int isColor,
                                    int& error)
{
    struct stat info;
    if (lstat(path, &info) == 0 && S_ISDIR(info.st_mode)) {
        error = EISDIR;
        return nullptr;
    }
    const std::string fresh = MakeFreshFile(path);
    if (fresh.empty()) {
        error = errno;
        return nullptr;
    }
    VideoWriter* writer = nullptr;
    try {
        cv::VideoWriter output(FileUrl(fresh.c_str()), cv::CAP_FFMPEG, fourcc, fps,
                               cv::Size(frameSize.width, frameSize.height), isColor != 0);
        if (output.isOpened()) {
            writer = new VideoWriter;
            // cv::VideoWriter has no move assignment in OpenCV 4.6: the copy shares the opened encoder.
            writer->output = output;
            writer->frameSize = frameSize;
            writer->channels = isColor ? 3 : 1;
            writer->path = path;
            writer->fresh = fresh;
        }
    } catch (const cv::Exception&) {
    }
    if (!writer)
        unlink(fresh.c_str());
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
        return 1;
    } catch (const cv::Exception&) {
        return 0;
    }
}

bool ReleaseVideoWriter(VideoWriter** writer, std::string* keptAs)
{
    if (!writer || !*writer)
        return true;
    VideoWriter* closing = *writer;
    closing->output.release();
    // A link at the path is replaced by the rename, not followed.
    const bool placed = std::rename(closing->fresh.c_str(), closing->path.c_str()) == 0;
    const int error = errno;
    if (!placed && keptAs)
        *keptAs = closing->fresh;
    delete closing;
    *writer = nullptr;
    errno = error;
    return placed;
}

} // namespace cvcompat
