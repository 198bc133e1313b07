#pragma once
// An output video with the old C writer calls' semantics, built on cv::VideoWriter.
//
// The codec code -1 used to leave the choice to the video library; here it chooses Motion JPEG in an AVI
// container, the one choice that reliably opens with OpenCV 4.6's FFmpeg writer.
//
// The encoder opens a path as given and follows a symbolic link there. So frames go into a fresh file made
// beside the path, never through a link, and that file is renamed to the path when the video is closed: a
// link or an older video of that name is replaced whole, and stays as it was when the new one cannot be made.

#include <opencv2/core/core_c.h>

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

/* Finishes and closes the file, puts it in place under its path and sets *writer to null; tolerates a null
   pointer at either level. False when the file could not be renamed to its path: then errno tells why and
   *keptAs, when given, is the name it was left under. */
bool ReleaseVideoWriter(VideoWriter** writer, std::string* keptAs = nullptr);

} // namespace cvcompat
