// VideoFileCheck: compares a program's recorded video with the video it played.
//
//   VideoFileCheck recorded.avi input.avi [--early]
//
// Passes (exit 0) when the recorded video opens, has the input's frame size, has the input's frame count
// (with --early: at least one frame but fewer than the input), and its first frame is the input's first
// frame turned upside down, within the loss of JPEG compression. Prints what it found either way.

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <cstdio>
#include <cstring>
#include <string>

static int CountFrames(const char* path, cv::Mat* first, cv::Size* size)
{
    // "file:" keeps FFmpeg from reading a name like "c:\\dir_out.avi" as protocol "c".
    cv::VideoCapture video(std::string("file:") + path, cv::CAP_FFMPEG);
    if (!video.isOpened())
        return -1;
    cv::Mat frame;
    int count = 0;
    while (video.read(frame)) {
        if (count == 0) {
            frame.copyTo(*first);
            *size = frame.size();
        }
        ++count;
    }
    return count;
}

int main(int argc, char** argv)
{
    if (argc < 3 || (argc == 4 && std::strcmp(argv[3], "--early")) || argc > 4) {
        std::fprintf(stderr, "usage: VideoFileCheck recorded.avi input.avi [--early]\n");
        return 2;
    }
    const bool early = argc == 4;
    cv::Mat recordedFirst, inputFirst;
    cv::Size recordedSize, inputSize;
    const int recorded = CountFrames(argv[1], &recordedFirst, &recordedSize);
    const int input = CountFrames(argv[2], &inputFirst, &inputSize);
    std::printf("recorded: %d frames %dx%d; input: %d frames %dx%d\n", recorded, recordedSize.width,
                recordedSize.height, input, inputSize.width, inputSize.height);
    if (recorded <= 0 || input <= 0) {
        std::printf("FAIL: a video does not open or holds no frame\n");
        return 1;
    }
    if (recordedSize != inputSize) {
        std::printf("FAIL: frame sizes differ\n");
        return 1;
    }
    if (early ? recorded >= input : recorded != input) {
        std::printf("FAIL: frame count %d, expected %s %d\n", recorded, early ? "fewer than" : "", input);
        return 1;
    }
    cv::Mat flipped;
    cv::flip(inputFirst, flipped, 0);
    const double upsideDown = cv::norm(recordedFirst, flipped, cv::NORM_L1) / double(flipped.total() * 3);
    const double asStored = cv::norm(recordedFirst, inputFirst, cv::NORM_L1) / double(flipped.total() * 3);
    std::printf("first frame: mean difference %.2f to the input turned upside down, %.2f to it as stored\n",
                upsideDown, asStored);
    if (!(upsideDown < 8.0 && upsideDown < asStored)) {
        std::printf("FAIL: the first frame is not the input's first frame turned upside down\n");
        return 1;
    }
    std::printf("OK\n");
    return 0;
}
