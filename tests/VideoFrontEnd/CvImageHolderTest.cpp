// CvImageHolder: ownership modes, copies, self-assignment, pixel access and rectangle fill.

#include "CvImageHolder.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include <climits>
#include <cstdio>
#include <string>

namespace {

/* An 8-bit image whose every byte is distinct enough to spot a copy or a zeroing. */
IplImage* MakePattern(int width, int height, int channels)
{
    IplImage* image = cvCreateImage(cvSize(width, height), IPL_DEPTH_8U, channels);
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < width * channels; ++i)
            CV_IMAGE_ELEM(image, unsigned char, y, i) = static_cast<unsigned char>(1 + (7 * y + i) % 250);
    return image;
}

bool SamePixels(const IplImage* a, const IplImage* b)
{
    return cv::norm(cv::cvarrToMat(a), cv::cvarrToMat(b), cv::NORM_INF) == 0.0;
}

bool AllZero(const IplImage* image)
{
    return cv::countNonZero(cv::cvarrToMat(image).reshape(1)) == 0;
}

} // namespace

TEST(CvImageHolder, EmptyHolderAnswersNothing)
{
    CvImageHolder holder(nullptr, CvImageHolder::HOLD_CLONE);
    EXPECT_FALSE(holder.IsValid());
    EXPECT_EQ(holder.Width(), 0);
    EXPECT_EQ(holder.Height(), 0);
    EXPECT_EQ(holder.GetImage(), nullptr);
    const TempFolder folder;
    const std::string path = folder / "empty.png";
    EXPECT_EQ(holder.Save(path.c_str()), 0);
    EXPECT_EQ(std::fopen(path.c_str(), "rb"), nullptr) << "an empty holder must write nothing";
    EXPECT_EQ(holder.PixelPtrC3(0, 0), nullptr);
    EXPECT_EQ(holder.PixelPtrC1(0, 0), nullptr);
    const CvPixelC3 black = holder.GetPixelC3(0, 0);
    EXPECT_EQ(black.c0 + black.c1 + black.c2, 0);
    EXPECT_EQ(holder.GetPixelC1(0, 0), 0);
    holder.SetPixelC1(0, 0, 9);
    holder.SetPixelC3(0, 0, CvPixelC3{1, 2, 3});
    holder.FillRectC1(0, 0, 5, 5, 9);
    holder.Release();
    EXPECT_FALSE(holder.IsValid());
}

TEST(CvImageHolder, ModesOwnCopyOrReferAsTold)
{
    IplImage* source = MakePattern(10, 6, 3);
    {
        CvImageHolder clone(source, CvImageHolder::HOLD_CLONE);
        ASSERT_TRUE(clone.IsValid());
        EXPECT_NE(clone.GetImage(), source);
        EXPECT_TRUE(SamePixels(clone.GetImage(), source));
        CV_IMAGE_ELEM(clone.GetImage(), unsigned char, 0, 0) = 0;
        EXPECT_EQ(CV_IMAGE_ELEM(source, unsigned char, 0, 0), 1) << "a clone must be independent";

        CvImageHolder blank(source, CvImageHolder::HOLD_BLANK);
        ASSERT_TRUE(blank.IsValid());
        EXPECT_EQ(blank.Width(), 10);
        EXPECT_EQ(blank.Height(), 6);
        EXPECT_EQ(blank.GetImage()->depth, source->depth);
        EXPECT_EQ(blank.GetImage()->nChannels, 3);
        EXPECT_TRUE(AllZero(blank.GetImage()));
        EXPECT_FALSE(AllZero(source)) << "making a blank must not touch the source";

        CvImageHolder attached(source, CvImageHolder::HOLD_ATTACH);
        EXPECT_EQ(attached.GetImage(), source);
        EXPECT_EQ(attached.mode, CvImageHolder::HOLD_ATTACH);
    }
    // The attached holder is gone; the caller's image must still be whole (ASan would see a free).
    EXPECT_EQ(CV_IMAGE_ELEM(source, unsigned char, 5, 29), 1 + (35 + 29) % 250);

    CvImageHolder holder(source, CvImageHolder::HOLD_ATTACH);
    for (int mode : {0, 1, 2}) {
        holder.Assign(source, CvImageHolder::HOLD_ATTACH);
        EXPECT_FALSE(holder.Assign(nullptr, mode));
        EXPECT_FALSE(holder.IsValid());
    }
    EXPECT_EQ(CV_IMAGE_ELEM(source, unsigned char, 0, 0), 1)
        << "releasing an attached image must not free it";

    EXPECT_FALSE(holder.Assign(source, 7)) << "an unknown mode holds nothing";
    EXPECT_FALSE(holder.IsValid());
    cvReleaseImage(&source);
}

TEST(CvImageHolder, CopiesFollowTheSourceMode)
{
    IplImage* source = MakePattern(8, 5, 3);
    CvImageHolder clone(source, CvImageHolder::HOLD_CLONE);
    CvImageHolder cloneCopy(clone);
    EXPECT_NE(cloneCopy.GetImage(), clone.GetImage());
    EXPECT_TRUE(SamePixels(cloneCopy.GetImage(), source));

    CvImageHolder attached(source, CvImageHolder::HOLD_ATTACH);
    CvImageHolder attachedCopy(attached);
    EXPECT_EQ(attachedCopy.GetImage(), source);

    // A blank holder copies as a fresh blank, whatever its pixels have become since.
    CvImageHolder blank(source, CvImageHolder::HOLD_BLANK);
    blank.SetPixelC3(2, 2, CvPixelC3{9, 9, 9});
    CvImageHolder blankCopy(blank);
    EXPECT_NE(blankCopy.GetImage(), blank.GetImage());
    EXPECT_TRUE(AllZero(blankCopy.GetImage()));

    CvImageHolder assigned;
    assigned = clone;
    EXPECT_TRUE(SamePixels(assigned.GetImage(), source));
    assigned = CvImageHolder();
    EXPECT_FALSE(assigned.IsValid());
    cvReleaseImage(&source);
}

TEST(CvImageHolder, SelfAssignmentKeepsTheImage)
{
    IplImage* source = MakePattern(9, 4, 3);
    CvImageHolder holder(source, CvImageHolder::HOLD_CLONE);
    CvImageHolder& alias = holder;
    holder = alias;
    ASSERT_TRUE(holder.IsValid());
    EXPECT_TRUE(SamePixels(holder.GetImage(), source));

    EXPECT_TRUE(holder.Assign(holder.GetImage(), CvImageHolder::HOLD_CLONE));
    EXPECT_TRUE(SamePixels(holder.GetImage(), source));

    EXPECT_TRUE(holder.Assign(holder.GetImage(), CvImageHolder::HOLD_BLANK));
    EXPECT_EQ(holder.Width(), 9);
    EXPECT_TRUE(AllZero(holder.GetImage()));

    // Attaching the image the holder owns keeps it owned: it is freed once, by the holder (ASan checks both).
    IplImage* owned = holder.GetImage();
    EXPECT_TRUE(holder.Assign(owned, CvImageHolder::HOLD_ATTACH));
    EXPECT_EQ(holder.GetImage(), owned);
    EXPECT_NE(holder.mode, CvImageHolder::HOLD_ATTACH);
    cvReleaseImage(&source);
}

TEST(CvImageHolder, CreateAndLoadOwnTheirImage)
{
    IplImage* source = MakePattern(4, 4, 3);
    CvImageHolder holder(source, CvImageHolder::HOLD_ATTACH);
    ASSERT_TRUE(holder.Create(cvSize(13, 5), IPL_DEPTH_8U, 1));
    EXPECT_EQ(holder.mode, CvImageHolder::HOLD_CLONE);
    EXPECT_EQ(holder.Width(), 13);
    EXPECT_EQ(holder.Height(), 5);
    EXPECT_EQ(holder.GetImage()->nChannels, 1);
    EXPECT_EQ(CV_IMAGE_ELEM(source, unsigned char, 0, 0), 1) << "Create must not free an attached image";

    holder.FillRectC1(0, 0, 13, 5, 77);
    const TempFolder folder;
    const std::string path = folder / "grey.png";
    EXPECT_NE(holder.Save(path.c_str()), 0);
    CvImageHolder loaded;
    ASSERT_TRUE(loaded.Load(path.c_str()));
    EXPECT_EQ(loaded.mode, CvImageHolder::HOLD_CLONE);
    EXPECT_EQ(loaded.GetImage()->nChannels, 3) << "a grey file loads as colour";
    const CvPixelC3 p = loaded.GetPixelC3(12, 4);
    EXPECT_EQ(p.c0, 77);
    EXPECT_EQ(p.c2, 77);
    EXPECT_FALSE(loaded.Load((folder / "missing.png").c_str()));
    EXPECT_FALSE(loaded.IsValid());
    cvReleaseImage(&source);
}

TEST(CvImageHolder, PixelAccessChecksChannelsAndBounds)
{
    CvImageHolder colour;
    ASSERT_TRUE(colour.Create(cvSize(7, 3), IPL_DEPTH_8U, 3));
    cvSetZero(colour.GetImage());
    IplImage* image = colour.GetImage();
    EXPECT_EQ(colour.PixelPtrC3(6, 2),
              reinterpret_cast<unsigned char*>(image->imageDataOrigin) + 2 * image->widthStep + 18);
    colour.SetPixelC3(6, 2, CvPixelC3{10, 20, 30});
    const CvPixelC3 p = colour.GetPixelC3(6, 2);
    EXPECT_EQ(p.c0, 10);
    EXPECT_EQ(p.c1, 20);
    EXPECT_EQ(p.c2, 30);
    for (const auto& xy :
         {std::make_pair(7, 0), std::make_pair(0, 3), std::make_pair(-1, 0), std::make_pair(0, -1)}) {
        EXPECT_EQ(colour.PixelPtrC3(xy.first, xy.second), nullptr);
        const CvPixelC3 outside = colour.GetPixelC3(xy.first, xy.second);
        EXPECT_EQ(outside.c0 + outside.c1 + outside.c2, 0);
        colour.SetPixelC3(xy.first, xy.second, CvPixelC3{1, 1, 1});
    }
    EXPECT_EQ(colour.PixelPtrC1(1, 1), nullptr);
    EXPECT_EQ(colour.GetPixelC1(6, 2), 0) << "a 1-channel read of a colour image gives 0";

    CvImageHolder grey;
    ASSERT_TRUE(grey.Create(cvSize(7, 3), IPL_DEPTH_8U, 1));
    cvSet(grey.GetImage(), cvScalarAll(50));
    grey.SetPixelC1(6, 2, 200);
    EXPECT_EQ(grey.GetPixelC1(6, 2), 200);
    EXPECT_EQ(grey.GetPixelC1(7, 2), 0);
    const CvPixelC3 fromGrey = grey.GetPixelC3(0, 0);
    EXPECT_EQ(fromGrey.c0 + fromGrey.c1 + fromGrey.c2, 0) << "a 3-channel read of a grey image gives black";
}

TEST(CvImageHolder, FillRectC1FillsATrueRectangleAndClips)
{
    CvImageHolder holder;
    // Width 13 pads each row to a widthStep of 16: rows must be stepped by widthStep, not width.
    ASSERT_TRUE(holder.Create(cvSize(13, 9), IPL_DEPTH_8U, 1));
    ASSERT_EQ(holder.GetImage()->widthStep, 16);
    cvSetZero(holder.GetImage());
    holder.FillRectC1(2, 3, 5, 4, 255);
    const cv::Mat pixels = cv::cvarrToMat(holder.GetImage());
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 13; ++x) {
            const bool inside = x >= 2 && x < 7 && y >= 3 && y < 7;
            EXPECT_EQ(pixels.at<unsigned char>(y, x), inside ? 255 : 0) << "at " << x << "," << y;
        }

    cvSetZero(holder.GetImage());
    holder.FillRectC1(-3, 7, 6, 10, 9);       // reaches past the left edge and the last row
    holder.FillRectC1(11, -2, INT_MAX, 3, 8); // past the top and far past the right edge
    EXPECT_EQ(cv::countNonZero(pixels), 3 * 2 + 2 * 1);
    EXPECT_EQ(pixels.at<unsigned char>(8, 2), 9);
    EXPECT_EQ(pixels.at<unsigned char>(0, 12), 8);
    holder.FillRectC1(20, 20, 5, 5, 7);
    holder.FillRectC1(0, 0, -4, 3, 7);
    holder.FillRectC1(INT_MAX, INT_MAX, INT_MAX, INT_MAX, 7);
    EXPECT_EQ(cv::countNonZero(pixels), 8) << "rectangles outside the image change nothing";

    CvImageHolder colour;
    ASSERT_TRUE(colour.Create(cvSize(4, 4), IPL_DEPTH_8U, 3));
    cvSetZero(colour.GetImage());
    colour.FillRectC1(0, 0, 4, 4, 1);
    EXPECT_TRUE(AllZero(colour.GetImage())) << "FillRectC1 leaves colour images alone";
}
