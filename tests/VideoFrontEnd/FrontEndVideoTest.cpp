// The front-end on real files: opening, the frame cycle, recording and release.

#include "CommandLine.h"
#include "TempFolder.h"
#include "TrafficScene.h"
#include "VideoFrontEnd.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const int FRAMES = 6;

/* A fresh lower-case directory (arguments are lower-cased) holding a short synthetic video. */
class FrontEndVideo : public testing::Test
{
  protected:
    void SetUp() override
    {
        options.width = 96;
        options.height = 64;
        scene = TrafficScene(options);
        ASSERT_TRUE(WriteSceneVideo(scene, dir + "/clip.avi", FRAMES, 12.0, ""));
    }
    /* Runs StartVideoFrontEnd on the words after the program name. */
    bool Start(CvVideoFrontEnd& fe, std::vector<std::string> args)
    {
        args.insert(args.begin(), "Quadfinder");
        words.clear();
        for (const std::string& a : args)
            words.emplace_back(a.c_str(), a.c_str() + a.size() + 1);
        std::vector<char*> argv;
        for (auto& w : words)
            argv.push_back(w.data());
        testing::internal::CaptureStdout();
        const bool ok =
            StartVideoFrontEnd(fe, static_cast<int>(args.size()), argv.data(), CV_FE_QUADFINDER_HELP);
        printed = testing::internal::GetCapturedStdout();
        return ok;
    }

    const TempFolder folder;
    const std::string dir = folder.path.string();
    TrafficSceneOptions options;
    TrafficScene scene;
    std::vector<std::vector<char>> words;
    std::string printed;
};

double MeanDifference(const cv::Mat& a, const cv::Mat& b)
{
    return cv::norm(a, b, cv::NORM_L1) / static_cast<double>(a.total() * a.channels());
}

} // namespace

TEST_F(FrontEndVideo, PlaysUprightFramesAndRecordsThem)
{
    {
        CvVideoFrontEnd fe;
        ASSERT_TRUE(Start(fe, {dir + "/clip.avi", "/r"}));
        EXPECT_EQ(printed, "Processing avi file...\n");
        EXPECT_EQ(std::string(fe.baseName), dir + "/clip");
        EXPECT_EQ(std::string(fe.inputPath), dir + "/clip.avi");
        EXPECT_EQ(std::string(fe.outputPath), dir + "/clip_out.avi");
        EXPECT_EQ(fe.frameWidth, 96);
        EXPECT_EQ(fe.frameHeight, 64);
        EXPECT_DOUBLE_EQ(fe.frameRate, 12.0);
        ASSERT_TRUE(fe.displayImage.IsValid());
        EXPECT_EQ(fe.displayImage.GetImage()->nChannels, 3);
        EXPECT_EQ(fe.displayImage.Width(), 96);
        ASSERT_NE(fe.greyImage, nullptr);
        EXPECT_EQ(fe.greyImage->nChannels, 1);
        EXPECT_EQ(fe.greyImage->height, 64);
        EXPECT_NE(fe.writer, nullptr);

        int k = 0;
        cv::Mat expected;
        while (IplImage* frame = GrabFrame(fe)) {
            ASSERT_LT(k, FRAMES);
            // The file holds frames bottom-up; after the grab they are as the scene draws them.
            scene.Render(k, expected);
            EXPECT_LT(MeanDifference(cv::cvarrToMat(frame), expected), 8.0) << "frame " << k;
            // 12 frames per second: frame k plays at k * 83.3 ms.
            EXPECT_NEAR(GetFramePosition(fe), k * 1000.0 / 12.0, 1.0) << "frame " << k;
            CopyFrameToDisplay(fe);
            EXPECT_EQ(
                cv::norm(cv::cvarrToMat(frame), cv::cvarrToMat(fe.displayImage.GetImage()), cv::NORM_INF),
                0.0);
            RecordDisplayImage(fe);
            ++k;
        }
        EXPECT_EQ(k, FRAMES);
        ReleaseVideoFrontEnd(fe);
        EXPECT_EQ(fe.writer, nullptr);
        EXPECT_EQ(fe.capture, nullptr);
        EXPECT_EQ(fe.greyImage, nullptr);
        EXPECT_TRUE(fe.displayImage.IsValid()) << "the holder frees the display image when the record goes";
        ReleaseVideoFrontEnd(fe);
    }

    cv::VideoCapture recorded(dir + "/clip_out.avi");
    ASSERT_TRUE(recorded.isOpened());
    EXPECT_EQ(recorded.get(cv::CAP_PROP_FRAME_WIDTH), 96);
    EXPECT_EQ(recorded.get(cv::CAP_PROP_FRAME_HEIGHT), 64);
    cv::Mat frame, expected;
    int count = 0;
    while (recorded.read(frame)) {
        scene.Render(count, expected);
        EXPECT_LT(MeanDifference(frame, expected), 10.0)
            << "recorded frame " << count << " is the upright frame";
        ++count;
    }
    EXPECT_EQ(count, FRAMES);
}

TEST_F(FrontEndVideo, BaseNameEndsAtTheFirstAvi)
{
    ASSERT_EQ(std::rename((dir + "/clip.avi").c_str(), (dir + "/first.avi").c_str()), 0);
    CvVideoFrontEnd fe;
    ASSERT_TRUE(Start(fe, {dir + "/first.avi\\clip.avi"}));
    EXPECT_EQ(std::string(fe.baseName), dir + "/first");
    EXPECT_EQ(std::string(fe.inputPath), dir + "/first.avi");
    EXPECT_EQ(fe.writer, nullptr) << "no \"/r\", no writer";
    EXPECT_STREQ(fe.outputPath, "");
}

TEST_F(FrontEndVideo, MissingFileAndCameraEndEarly)
{
    CvVideoFrontEnd file;
    EXPECT_FALSE(Start(file, {dir + "/Missing.AVI", "/r"}));
    EXPECT_EQ(printed, "Processing avi file...\nCan't find file " + dir + "/missing.avi\n");
    EXPECT_EQ(file.capture, nullptr);
    EXPECT_FALSE(file.displayImage.IsValid());
    EXPECT_EQ(file.greyImage, nullptr);

    // These machines have no camera: opening one fails, with the one message on standard error.
    CvVideoFrontEnd camera;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Start(camera, {"9"}));
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed, "Processing capture...\n");
    EXPECT_NE(errors.find("Could not initialize capturing...\n"), std::string::npos) << errors;
    EXPECT_EQ(camera.capture, nullptr);
}
