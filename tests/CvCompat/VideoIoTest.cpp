// The capture and writer layer: what the front-end relies on from a real AVI round trip.

#include "TempFolder.h"
#include "VideoCapture.h"
#include "VideoWriter.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

/* Frame k of the test video: a flat colour that tells the frames apart after JPEG compression. */
cv::Scalar FrameColour(int k)
{
    return cv::Scalar(20 + 40 * k, 200 - 30 * k, 100);
}

} // namespace

TEST(VideoIo, WriterAndCaptureRoundTrip)
{
    const TempFolder folder;
    const std::string path = folder / "roundtrip.avi";
    const CvSize size = cvSize(64, 48);
    cvcompat::VideoWriter* writer = cvcompat::CreateVideoWriter(path.c_str(), -1, 10.0, size, 1);
    ASSERT_NE(writer, nullptr) << "code -1 must choose a codec that opens";
    for (int k = 0; k < 5; ++k) {
        cv::Mat frame(48, 64, CV_8UC3, FrameColour(k));
        IplImage header = cvIplImage(frame);
        EXPECT_EQ(cvcompat::WriteFrame(writer, &header), 1);
    }
    cv::Mat wrongSize(40, 64, CV_8UC3, cv::Scalar::all(0));
    IplImage wrongHeader = cvIplImage(wrongSize);
    EXPECT_EQ(cvcompat::WriteFrame(writer, &wrongHeader), 0) << "a frame of another size must be refused";
    EXPECT_EQ(cvcompat::WriteFrame(writer, nullptr), 0);
    cvcompat::ReleaseVideoWriter(&writer);
    EXPECT_EQ(writer, nullptr);
    cvcompat::ReleaseVideoWriter(&writer);

    cvcompat::Capture* capture = cvcompat::CreateFileCapture(path.c_str());
    ASSERT_NE(capture, nullptr);
    EXPECT_EQ(cvcompat::GetCaptureProperty(capture, CV_CAP_PROP_FRAME_WIDTH), 64.0);
    EXPECT_EQ(cvcompat::GetCaptureProperty(capture, CV_CAP_PROP_FRAME_HEIGHT), 48.0);
    EXPECT_NEAR(cvcompat::GetCaptureProperty(capture, CV_CAP_PROP_FPS), 10.0, 1e-6);
    // The front-end moves to the end of the film and back before it plays.
    EXPECT_NE(cvcompat::SetCaptureProperty(capture, CV_CAP_PROP_POS_AVI_RATIO, 1.0), 0);
    EXPECT_NE(cvcompat::SetCaptureProperty(capture, CV_CAP_PROP_POS_AVI_RATIO, 0.0), 0);

    int count = 0;
    double lastMsec = -1.0;
    while (IplImage* frame = cvcompat::QueryFrame(capture)) {
        ASSERT_LT(count, 5);
        EXPECT_EQ(frame->nChannels, 3);
        EXPECT_EQ(frame->depth, IPL_DEPTH_8U);
        EXPECT_EQ(frame->width, 64);
        EXPECT_EQ(frame->height, 48);
        const cv::Scalar mean = cv::mean(cv::cvarrToMat(frame));
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(mean[c], FrameColour(count)[c], 6.0) << "frame " << count << " channel " << c;
        const double msec = cvcompat::GetCaptureProperty(capture, CV_CAP_PROP_POS_MSEC);
        EXPECT_GT(msec, lastMsec) << "the position must advance per frame";
        lastMsec = msec;
        ++count;
    }
    EXPECT_EQ(count, 5);
    EXPECT_EQ(cvcompat::QueryFrame(capture), nullptr) << "the end stays the end";
    cvcompat::ReleaseCapture(&capture);
    EXPECT_EQ(capture, nullptr);
}

TEST(VideoIo, FailuresGiveNullAndZero)
{
    const TempFolder folder;
    EXPECT_EQ(cvcompat::CreateFileCapture((folder / "missing.avi").c_str()), nullptr);
    EXPECT_EQ(cvcompat::CreateFileCapture(nullptr), nullptr);
    EXPECT_EQ(cvcompat::QueryFrame(nullptr), nullptr);
    EXPECT_EQ(cvcompat::GetCaptureProperty(nullptr, CV_CAP_PROP_FPS), 0.0);
    EXPECT_EQ(cvcompat::SetCaptureProperty(nullptr, CV_CAP_PROP_POS_AVI_RATIO, 0.0), 0);
    cvcompat::ReleaseCapture(nullptr);

    const CvSize size = cvSize(64, 48);
    EXPECT_EQ(cvcompat::CreateVideoWriter("/nonexistent-dir/x.avi", -1, 10.0, size, 1), nullptr);
    EXPECT_EQ(cvcompat::CreateVideoWriter((folder / "zero.avi").c_str(), -1, 0.0, size, 1), nullptr);
    EXPECT_EQ(cvcompat::CreateVideoWriter((folder / "empty.avi").c_str(), -1, 10.0, cvSize(0, 0), 1),
              nullptr);
    EXPECT_EQ(cvcompat::CreateVideoWriter(nullptr, -1, 10.0, size, 1), nullptr);
    cvcompat::ReleaseVideoWriter(nullptr);

    EXPECT_EQ(cvcompat::FourCC('M', 'J', 'P', 'G'), 0x47504A4D);
    EXPECT_EQ(cvcompat::FourCC('c', 'v', 'i', 'd'), 0x64697663);
}

TEST(VideoIo, OnlyRegularFilesOpenAndNoneMakesTheCallerWait)
{
    const TempFolder folder;
    // A named pipe would block the open until some writer came: it is refused at once, like a directory
    // and a device behind a link.
    const std::string pipe = folder / "pipe.avi", directory = folder / "dir.avi", device = folder / "dev.avi";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_EQ(mkdir(directory.c_str(), 0700), 0);
    ASSERT_EQ(symlink("/dev/zero", device.c_str()), 0);
    for (const std::string& path : {pipe, directory, device})
        EXPECT_EQ(cvcompat::CreateFileCapture(path.c_str()), nullptr) << path;
}

TEST(VideoIo, PathsWithAColonAreFiles)
{
    const TempFolder folder;
    // "c:\dir.avi" is a file name here, not FFmpeg protocol "c".
    const std::string path = folder / "c:\\dir.avi";
    cvcompat::VideoWriter* writer = cvcompat::CreateVideoWriter(path.c_str(), -1, 5.0, cvSize(32, 32), 1);
    ASSERT_NE(writer, nullptr);
    cv::Mat frame(32, 32, CV_8UC3, cv::Scalar(10, 20, 30));
    IplImage header = cvIplImage(frame);
    EXPECT_EQ(cvcompat::WriteFrame(writer, &header), 1);
    cvcompat::ReleaseVideoWriter(&writer);
    cvcompat::Capture* capture = cvcompat::CreateFileCapture(path.c_str());
    ASSERT_NE(capture, nullptr);
    EXPECT_NE(cvcompat::QueryFrame(capture), nullptr);
    cvcompat::ReleaseCapture(&capture);
    EXPECT_EQ(cvcompat::FileUrl("plain/clip.avi"), "plain/clip.avi");
}

TEST(VideoIo, RewindAfterTheEndPlaysEveryFrameEvenOfAOneFrameVideo)
{
    const TempFolder folder;
    // The front-end moves to the end of a file and back before playing it.
    for (int frames : {1, 2, 5}) {
        const std::string path = folder / ("rewind" + std::to_string(frames) + ".avi");
        cvcompat::VideoWriter* writer =
            cvcompat::CreateVideoWriter(path.c_str(), -1, 25.0, cvSize(32, 24), 1);
        ASSERT_NE(writer, nullptr);
        for (int k = 0; k < frames; ++k) {
            cv::Mat frame(24, 32, CV_8UC3, FrameColour(k));
            IplImage header = cvIplImage(frame);
            ASSERT_EQ(cvcompat::WriteFrame(writer, &header), 1);
        }
        cvcompat::ReleaseVideoWriter(&writer);

        cvcompat::Capture* capture = cvcompat::CreateFileCapture(path.c_str());
        ASSERT_NE(capture, nullptr);
        EXPECT_EQ(cvcompat::SetCaptureProperty(capture, CV_CAP_PROP_POS_AVI_RATIO, 1.0), 1);
        EXPECT_EQ(cvcompat::SetCaptureProperty(capture, CV_CAP_PROP_POS_AVI_RATIO, 0.0), 1);
        EXPECT_EQ(cvcompat::GetCaptureProperty(capture, CV_CAP_PROP_FRAME_WIDTH), 32.0);
        int played = 0;
        while (IplImage* frame = cvcompat::QueryFrame(capture)) {
            // The first frame is the first written: the blue channel of frame k is 20 + 40 k.
            if (played == 0) {
                EXPECT_NEAR(static_cast<unsigned char>(frame->imageData[0]), 20, 8) << frames << " frames";
            }
            ++played;
        }
        EXPECT_EQ(played, frames);
        cvcompat::ReleaseCapture(&capture);
    }
}
