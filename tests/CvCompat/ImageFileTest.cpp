// Image file reading and writing: channel forcing and failures without exceptions.

#include "ImageFile.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include <string>

TEST(ImageFile, SaveAndLoadKeepPixelsAndForceChannels)
{
    IplImage* grey = cvCreateImage(cvSize(13, 7), IPL_DEPTH_8U, 1);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x)
            CV_IMAGE_ELEM(grey, unsigned char, y, x) = static_cast<unsigned char>(x * 10 + y);
    const TempFolder folder;
    const std::string path = folder / "grey.png";
    ASSERT_NE(cvcompat::SaveImage(path.c_str(), grey), 0);

    IplImage* colour = cvcompat::LoadImage(path.c_str(), cvcompat::LOAD_IMAGE_COLOR);
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ(colour->nChannels, 3);
    EXPECT_EQ(colour->width, 13);
    EXPECT_EQ(colour->height, 7);
    EXPECT_EQ(CV_IMAGE_ELEM(colour, unsigned char, 6, 3 * 12 + 1), 126);

    IplImage* unchanged = cvcompat::LoadImage(path.c_str(), cvcompat::LOAD_IMAGE_UNCHANGED);
    ASSERT_NE(unchanged, nullptr);
    EXPECT_EQ(unchanged->nChannels, 1);
    EXPECT_EQ(CV_IMAGE_ELEM(unchanged, unsigned char, 4, 5), 54);

    cvReleaseImage(&grey);
    cvReleaseImage(&colour);
    cvReleaseImage(&unchanged);
}

TEST(ImageFile, FailuresGiveNullAndZero)
{
    const TempFolder folder;
    EXPECT_EQ(cvcompat::LoadImage((folder / "missing.png").c_str(), 1), nullptr);
    EXPECT_EQ(cvcompat::LoadImage(nullptr, 1), nullptr);
    IplImage* image = cvCreateImage(cvSize(4, 4), IPL_DEPTH_8U, 3);
    cvSetZero(image);
    EXPECT_EQ(cvcompat::SaveImage((folder / "unknown.nosuchformat").c_str(), image), 0);
    EXPECT_EQ(cvcompat::SaveImage("/nonexistent-dir/x.png", image), 0);
    EXPECT_EQ(cvcompat::SaveImage((folder / "null.png").c_str(), nullptr), 0);
    cvReleaseImage(&image);
}
