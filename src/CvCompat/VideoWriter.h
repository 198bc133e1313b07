#pragma once
// An output video with the old C writer calls' semantics, built on cv::VideoWriter.
//
// The codec code -1 used to leave the choice to the video library; here it chooses Motion JPEG in an AVI
// container, the one choice that reliably opens with OpenCV 4.6's FFmpeg writer.
//
// The encoder opens a path as given and follows a symbolic link there. So frames go into a fresh file made
// beside the path, never through a link, and that file is renamed to the path when the video is closed: a
// link or an older video of that name is replaced whole, and stays as it was when the new one cannot be made.
//
// The encoder reports no failed write either: a full disk leaves a video cut short without a word. So the
// closed file is read back before it replaces anything, and one that does not hold every frame is kept
// under a name that says so, beside the older video.

#include <opencv2/core/core_c.h>

#include <cstdint>
#include <string>

namespace cvcompat {

/* An open output video; opaque to callers. */
struct VideoWriter;

/* The codec code made of four characters, first character in the lowest byte. */
constexpr int FourCC(char c1, char c2, char c3, char c4)
{
    return (c1 & 255) | ((c2 & 255) << 8) | ((c3 & 255) << 16) | ((c4 & 255) << 24);
}

/* The codec that the code -1 stands for. */
constexpr int FOURCC_DEFAULT = FourCC('M', 'J', 'P', 'G');

/* Opens path for frames of frameSize at fps; isColor non-zero for 3-channel frames. Null when it cannot
   open; then *failure, when given, is the errno of the file system (EISDIR for a directory at path,
   EACCES for a folder that cannot be written...) or 0 when the encoder refused the codec, rate or size. */
VideoWriter* CreateVideoWriter(const char* path, int fourcc, double fps, CvSize frameSize, int isColor,
                               int* failure = nullptr);

/* Appends one frame; returns non-zero when it was handed to the encoder, 0 for a null writer or image or
   a frame whose size or channel count does not fit the video. */
int WriteFrame(VideoWriter* writer, const IplImage* image);

/* What became of a video when it was closed. */
struct ClosedVideo
{
    std::string name;    /* the file's name now: its path, or the one it was kept under; empty for none */
    uint64_t frames = 0; /* frames the encoder took */
    std::string flaw;    /* why the file does not hold all of them ("the file does not hold them all"...);
                            empty when it does */
    int renameError = 0; /* the errno of a whole file's rename to its path that failed, else 0 */
};

/* Finishes and closes the file, checks that it holds every frame written, puts it in place under its path
   and sets *writer to null; tolerates a null pointer at either level. A file that fails the check leaves
   what is at its path alone and is renamed as KeepAsIncomplete does. False when the file is not at its
   path; *closed, when given, then says why and where the file is. */
bool ReleaseVideoWriter(VideoWriter** writer, ClosedVideo* closed = nullptr);

} // namespace cvcompat
